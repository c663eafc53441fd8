#include "backup.h"

#include "data_paths.h"
#include "passwords.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <sys/stat.h>

namespace tb {

namespace backup {

int weekdayDigit(const QDate& day) {
    return day.dayOfWeek() % 7 + 1; // Qt: Monday 1 .. Sunday 7; here Sunday 1 .. Saturday 7
}

QString weekdayCopy(const QString& backupPath, const QDate& day) {
    return paths::weekdayCopyOf(backupPath, weekdayDigit(day));
}

QString shownFolder(const QString& backupPath) {
    return backupPath.left(backupPath.size() - paths::kDataFileName.size());
}

bool samePath(const QString& dataPath, const QString& backupPath) {
    if (dataPath.toLower() == backupPath.toLower())
        return true;
    struct stat a {
    }, b{};
    return ::stat(QFile::encodeName(dataPath).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(backupPath).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace backup

namespace {
const QString kWrongPath =
    QStringLiteral("Bitte geben Sie ein Laufwerksbuchstaben oder einen Netzwerkpfad vor");
const QString kSamePath = QStringLiteral(" Sicherungspfad identisch mit Programmpfad !  Bitte "
                                         "wählen Sie einen anderen Pfad als Sicherungspfad.");
} // namespace

Backup::Backup(SettingsStore& store, Dialogs& dialogs, const Clock& clock, QString dataPath,
               QString dataFile)
    : store_(store), dialogs_(dialogs), clock_(clock), dataPath_(std::move(dataPath)),
      dataFile_(std::move(dataFile)) {
    field_ = storedPath();
    startRestorix = [] {
        return QProcess::startDetached(
            QCoreApplication::applicationDirPath() + QStringLiteral("/restorix"), {});
    };
}

QString Backup::storedPath() const {
    return store_.get(SettingsStore::startup(), paths::kBackupKey, paths::defaultBackupPath());
}

void Backup::status(const QString& text) {
    emit statusChanged(text);
}

void Backup::choosePath() {
    const QString before = field_;
    // The dialog opens in the folder the copies go to now; a copy there is not overwritten
    // by choosing it, so nothing asks about it.
    const QString chosen = dialogs_.choosePlace(QStringLiteral("Sicherungspfad wählen"),
                                                paths::folderOf(before) + paths::kDataFileName,
                                                QStringLiteral("Kassenbuch (*.kas)"));
    field_ = paths::folderOf(chosen) + paths::kDataFileName;
    if (field_ == before)
        return;
    if (field_.size() <= paths::kDataFileName.size()) {
        dialogs_.message(QStringLiteral("Kein Pfad gewählt, Sicherungspfad wurde nicht geändert!"),
                         {}, Icon::Critical);
        field_ = storedPath();
        return;
    }
    if (dialogs_.message(QStringLiteral("Sicherungspfad wurde geändert - Pfad speichern ?"),
                         QStringLiteral("Achtung !"), Icon::Question,
                         Buttons::YesNo) != Answer::Yes) {
        field_ = storedPath();
        return;
    }
    store_.save(SettingsStore::startup(), paths::kBackupKey, field_);
}

bool Backup::checkPath(bool quiet) {
    if (field_.size() <= paths::kDataFileName.size()) {
        if (quiet) {
            qWarning("Tillbook: keine Datensicherung, der Sicherungspfad \"%s\" ist zu kurz.",
                     qPrintable(field_));
            return false;
        }
        dialogs_.message(kWrongPath, QStringLiteral("Fehler"), Icon::Critical);
        choosePath();
        return false;
    }
    if (backup::samePath(dataPath_, field_) || backup::samePath(dataFile_, field_)) {
        if (quiet)
            qWarning("Tillbook: keine Datensicherung, der Sicherungspfad ist die Datendatei.");
        else
            dialogs_.message(kSamePath, QStringLiteral("Fehler !"), Icon::Critical);
        return false;
    }
    return true;
}

bool Backup::handle(const Result& r, bool quiet) {
    emit errorHandled();
    const QString number = QString::number(r.code);
    if (quiet) {
        qWarning("Tillbook: Datensicherung nach %s fehlgeschlagen: Fehler %s %s",
                 qPrintable(field_), qPrintable(number), qPrintable(germanText(r)));
        return false;
    }
    switch (r.kind) {
    case ErrorKind::DiskFull:
        return dialogs_.message(QStringLiteral("Datenträger voll - bitte wechseln und dann auf "
                                               "''OK'' oder abbrechen"),
                                QStringLiteral("Achtung !"), Icon::Exclamation,
                                Buttons::OkCancel) == Answer::Ok;
    case ErrorKind::AccessDenied:
        dialogs_.message(QStringLiteral("Bitte brechen Sie ab, und starten Sie dieses Programm "
                                        "erneut, dann Datensicherung anklicken !"),
                         QStringLiteral("Achtung !"));
        return false;
    case ErrorKind::NotFound:
        dialogs_.message(QStringLiteral("Die automatische Datensicherung konnte nicht "
                                        "durchgeführt werden. ") +
                             QStringLiteral("\n\nDer Sicherungspfad ''") +
                             backup::shownFolder(field_) +
                             QStringLiteral("'' ist nicht verfügbar."),
                         QStringLiteral("Fehler-Nr. ") + number + QLatin1Char(' ') + germanText(r),
                         Icon::Critical);
        return false;
    case ErrorKind::None:
    case ErrorKind::Other:
        break;
    }
    dialogs_.message(QStringLiteral("Datei kann nicht gesichert werden !\nbitte die Ursache "
                                    "beheben.\n\nFehler ") +
                         number + QLatin1Char(' ') + germanText(r),
                     QStringLiteral("Fehler !"), Icon::Critical);
    return false;
}

Backup::Outcome Backup::copyTo(const QString& dest, bool quiet) {
    // Nothing may write to the file between the password step and the copy.
    std::unique_ptr<cashfile::FileLock> own;
    if (!heldLock) {
        own = std::make_unique<cashfile::FileLock>(dataFile_);
        const Result busy =
            own->acquireOrBusy(QStringLiteral(" Das Kassenbuch ist noch geöffnet (%1)."));
        if (!busy.ok()) {
            handle(busy, quiet);
            return Outcome::Failed;
        }
    }
    // The password step: the copy carries the built-in password.
    for (;;) {
        const Result r = cashfile::protect(dataFile_);
        if (r.ok())
            break;
        protectFailureShown_ = !quiet;
        if (!handle(r, quiet))
            return Outcome::Failed;
    }
    protected_ = true;
    for (;;) {
        // The copy is read back byte for byte; what is left to prove is that it opens with the
        // built-in password as a whole cash book.
        const Result r = FileCopy(dataFile_, dest, [](const QString& tmp) {
            return cashfile::checkOpens(tmp, cashfile::builtInPassword());
        });
        if (r.ok())
            return Outcome::Done;
        if (!handle(r, quiet))
            return Outcome::Failed;
    }
}

Backup::Outcome Backup::manualBackup() {
    if (!checkPath(false))
        return Outcome::Refused;
    if (dialogs_.message(
            QStringLiteral("Daten jetzt im Pfad  ") + field_ + QStringLiteral("  sichern ?"),
            QStringLiteral("Datensicherung !"), Icon::Question, Buttons::YesNo) != Answer::Yes)
        return Outcome::Declined;
    status(QStringLiteral("Datensicherung: kopiere Tillbook.kas nach  ") + field_);
    for (;;) {
        const Result r = checkWritable(field_, QFileInfo(dataFile_).size());
        if (r.ok())
            break;
        if (!handle(r, false))
            return Outcome::Failed;
    }
    if (copyTo(field_, false) != Outcome::Done)
        return Outcome::Failed;
    dialogs_.message(QStringLiteral("Datensicherung nach ") + field_ + QStringLiteral(" erfolgt !"),
                     QStringLiteral("Tillbook - Daten gesichert"), Icon::Information);
    return Outcome::Done;
}

Backup::Outcome Backup::automaticBackup(bool quiet) {
    if (!checkPath(quiet))
        return Outcome::Refused;
    status(QStringLiteral("Datensicherung: kopiere ''Tillbook.kas'' nach  ") + field_);
    const QString dest = backup::weekdayCopy(field_, clock_.today());
    // The path is checked before the data file is touched; the copy there stays as it is.
    for (;;) {
        const Result r = checkWritable(dest, QFileInfo(dataFile_).size());
        if (r.ok())
            break;
        if (!handle(r, quiet))
            return Outcome::Failed;
    }
    if (copyTo(dest, quiet) != Outcome::Done)
        return Outcome::Failed;
    if (!quiet)
        dialogs_.message(QStringLiteral("automatische Datensicherung nach ") + dest +
                             QStringLiteral(" erfolgt !"),
                         QStringLiteral("Logis 5.0 - Daten gesichert"), Icon::Information);
    return Outcome::Done;
}

Backup::Outcome Backup::endOfRun(bool quiet) {
    const Outcome o = automaticBackup(quiet);
    if (protected_)
        return o;
    // No copy was made (or the password step itself failed): the file still gets its password
    // back, as it must carry it whenever no program works on it.
    const Result r = cashfile::protect(dataFile_);
    if (r.ok() || protectFailureShown_)
        return o;
    if (quiet) {
        qWarning("Tillbook: Das Passwort des Kassenbuchs %s konnte nicht wieder gesetzt werden: %s",
                 qPrintable(dataFile_), qPrintable(germanText(r)));
        return o;
    }
    dialogs_.message(QStringLiteral("Das Passwort des Kassenbuchs\n%1\nkonnte beim Beenden nicht "
                                    "wieder gesetzt werden:\n%2\n\nDie Datei ist vollständig und "
                                    "wird beim nächsten Start wieder geöffnet.")
                         .arg(dataFile_, germanText(r)),
                     QStringLiteral("Tillbook"), Icon::Critical);
    return o;
}

void Backup::offerAfterCrash() {
    if (dialogs_.message(QStringLiteral("Tillbook wurde beim letzten Mal nicht ordnungsgemäß "
                                        "beendet. Die automatische Datensicherung des Wochentags "
                                        "wurde dabei nicht geschrieben.\n\nSoll jetzt eine "
                                        "Sicherungskopie geschrieben werden ?"),
                         QStringLiteral("Tillbook"), Icon::Question, Buttons::YesNo) == Answer::Yes)
        automaticBackup(false);
}

bool Backup::restoreHandOff(const QString& currentPassword) {
    if (currentPassword != kDefaultPassword) {
        PasswordGuard guard(dialogs_);
        guard.setCurrentPassword(currentPassword);
        if (!guard.allow())
            return false;
    }
    return startRestorix && startRestorix();
}

} // namespace tb
