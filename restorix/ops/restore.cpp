#include "restore.h"

#include "cash_file.h"
#include "change_log.h"
#include "data_path_check.h"
#include "data_paths.h"
#include "work_marker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tb {

Restore::Restore(SettingsStore& store, Dialogs& dialogs, QString commonDocuments,
                 QString programFolder)
    : store_(store), dialogs_(dialogs), commonDocuments_(std::move(commonDocuments)),
      programFolder_(std::move(programFolder)) {
    readPaths();
    folder_ = backupPath_.left(backupPath_.size() - paths::kDataFileName.size());
}

QString Restore::defaultDataPath() const {
    return paths::restorixDefaultDataPath(commonDocuments_);
}

void Restore::readPaths() {
    const QString section = SettingsStore::startup();
    dataPath_ = store_.get(section, paths::kDataPathKey, defaultDataPath());
    backupPath_ = store_.get(section, paths::kBackupKey, paths::defaultBackupPath());
}

void Restore::removeStaleBackupLock() {
    const QString lock = cashfile::FileLock::lockPathFor(backupPath_);
    if (!QFileInfo::exists(lock))
        return;
    // Taking the lock removes a stale one; a live one stays where it is.
    cashfile::FileLock l(backupPath_);
    if (l.acquire().ok())
        l.unlock();
}

BackupEntry Restore::entryFor(const QString& fileName, const QDateTime& modified) {
    BackupEntry e;
    e.fileName = fileName;
    e.stamp = modified.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    const QString key = e.stamp.mid(6, 4) + e.stamp.mid(3, 2) + e.stamp.mid(0, 2);
    e.text = key + QString(9, QLatin1Char(' ')) + fileName +
             QStringLiteral("    Tillbook - Datensicherung") + QStringLiteral(" vom  ") + e.stamp;
    return e;
}

QList<BackupEntry> Restore::listFolder(const QString& folder) {
    QList<BackupEntry> entries;
    QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("Tillbook.*")}, QDir::Files,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& f : files) {
        if (!f.suffix().startsWith(QLatin1Char('k'), Qt::CaseInsensitive))
            continue;
        entries << entryFor(f.fileName(), f.lastModified());
    }
    std::sort(entries.begin(), entries.end(),
              [](const BackupEntry& a, const BackupEntry& b) { return a.text < b.text; });
    return entries;
}

QList<BackupEntry> Restore::list() const {
    return listFolder(folder_);
}

void Restore::changeFolder() {
    const QString chosen = dialogs_.openFile(QStringLiteral("Pfad wechseln"), backupPath_,
                                             QStringLiteral("Tillbook (Tillbook.*)"));
    // A cancelled dialog leaves the folder as it is.
    if (!chosen.isEmpty())
        folder_ = paths::folderOf(chosen);
    removeStaleBackupLock();
}

QString Restore::sourceFor(const BackupEntry& e) const {
    QChar last = e.fileName.isEmpty() ? QLatin1Char('s') : e.fileName.back();
    if (last == QLatin1Char('B') || last == QLatin1Char('b'))
        last = QLatin1Char('s');
    QString folder = folder_;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + e.fileName.left(e.fileName.size() - 3) + QStringLiteral("ka") + last;
}

QString Restore::destination() const {
    QString path = dataPath_;
    if (path.size() < 13)
        path = programFolder_ + QLatin1Char('/') + path;
    path = path.left(path.size() - 3) + QStringLiteral("kas");
    return pathcheck::realPath(path);
}

QString Restore::keptCopyOf(const QString& dataFile) {
    return cashfile::keptBeforeRestoreOf(dataFile);
}

QString Restore::shortened(const QString& text) {
    constexpr int kLines = 4;
    constexpr int kWidth = 200;
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList shown;
    for (int i = 0; i < lines.size() && i < kLines; ++i)
        shown << (lines[i].size() > kWidth ? lines[i].left(kWidth) + QStringLiteral(" …")
                                           : lines[i]);
    if (lines.size() > kLines)
        shown << QStringLiteral("… (%1 weitere Zeilen)").arg(lines.size() - kLines);
    return shown.join(QLatin1Char('\n'));
}

void Restore::failed(const RestoreResult& r, const QString& source) {
    switch (r.cause) {
    case RestoreResult::Cause::CopyUnusable:
        dialogs_.message(QStringLiteral("Die Sicherheitskopie\n%1\nist beschädigt oder kein "
                                        "Kassenbuch und wird nicht zurückgeschrieben. Das "
                                        "Kassenbuch bleibt unverändert.\n\n")
                                 .arg(source) +
                             shortened(germanText(r.file)),
                         QStringLiteral("Fehler"), Icon::Critical);
        return;
    case RestoreResult::Cause::FolderMissing:
        dialogs_.message(QStringLiteral("Der Ordner des Kassenbuchs\n%1\nist nicht vorhanden und "
                                        "kann nicht angelegt werden: %2\n\nDie Daten wurden nicht "
                                        "wieder hergestellt.")
                             .arg(paths::folderOf(destination()), germanText(r.file)),
                         QStringLiteral("Fehler"), Icon::Critical);
        return;
    default:
        break;
    }
    dialogs_.message(
        QStringLiteral("Tillbook ist noch geöffnet. Lösungen: Beenden Sie Zugriffe von einem "
                       "anderen Netzwerk-User, beenden Sie alle evtl. noch im Hintergrund "
                       "laufenden Prozesse von Logis 4.0 mit dem Taskmanager bzw. starten Sie "
                       "Ihren Computer neu.") +
            QStringLiteral("\nFehlernummer ") + QString::number(r.file.code) +
            QStringLiteral(" - ") + shortened(germanText(r.file)),
        QStringLiteral("Fehler"), Icon::Critical);
}

Result Restore::keepCopy(const QString& file, const QString& kept) {
    // A name that is free takes the second name at once; one that is taken is replaced whole.
    if (!QFileInfo::exists(kept) &&
        ::link(QFile::encodeName(file).constData(), QFile::encodeName(kept).constData()) == 0) {
        syncFolderOf(kept);
        return {};
    }
    PendingFile linked(kept, kept + QStringLiteral(".tmp-link"));
    linked.discard();
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(linked.path()).constData()) ==
            0 &&
        linked.putInPlace().ok())
        return {};
    linked.discard();
    return FileCopy(file, kept);
}

Result Restore::logRestore(const QString& file, const QByteArray& key, const QString& source,
                           const QString& kept) {
    Result r;
    Result failed;
    auto db = Database::open(file, key, &failed);
    if (db) {
        changelog::ReasonScope reason(*db, changelog::Reason::Restore);
        Transaction t(*db);
        // A copy from before the log gets it now, beginning with the book as the copy holds it.
        changelog::NewEntry e(changelog::Kind::Restore, changelog::Reason::Restore);
        changelog::appendItem(e.after, "Kopie", source.toStdString());
        changelog::appendItem(e.after, "Stand",
                              QFileInfo(source)
                                  .lastModified()
                                  .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))
                                  .toStdString());
        if (!kept.isEmpty())
            changelog::appendItem(e.before, "aufbewahrt als", kept.toStdString());
        failed = changelog::ensureLog(*db, changelog::Reason::Restore);
        if (failed)
            failed = changelog::append(*db, e);
        if (failed && t.commit())
            return r;
        if (failed)
            failed = db->lastFailure();
    }
    const QString why = germanText(failed);
    r.kind = ErrorKind::Other;
    r.code = EIO;
    r.systemText = why;
    r.detail = QStringLiteral("Die Wiederherstellung konnte nicht im Änderungsprotokoll "
                              "vermerkt werden: ") +
               why;
    return r;
}

RestoreResult Restore::restoreFile(const QString& source, const QString& target,
                                   Progress& progress) {
    RestoreResult result;
    auto fail = [&](RestoreResult::Cause cause, Result r) {
        result.cause = cause;
        result.file = std::move(r);
        return result;
    };
    // A restore onto a new computer: the data folder is made first.
    const QString folder = paths::folderOf(target);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        if (const Result may = pathcheck::mayCreateAt(target, true); !may) {
            Result r = fromErrno(ENOENT);
            r.detail = germanText(may);
            return fail(RestoreResult::Cause::FolderMissing, r);
        }
        if (!QDir().mkpath(folder))
            return fail(RestoreResult::Cause::FolderMissing, fromErrno(errno ? errno : EACCES));
        result.madeFolder = folder;
    }
    // Linux lets anyone overwrite an open file: the lock is the guard against a running
    // Tillbook, which would otherwise go on writing into the replaced file.
    cashfile::FileLock lock(target);
    if (Result busy = lock.acquireOrBusy(); !busy.ok())
        return fail(RestoreResult::Cause::Busy, busy);
    if (!QFileInfo(source).isFile())
        return fail(RestoreResult::Cause::Other, fromErrno(ENOENT));
    cashfile::WorkMarker marker(target, cashfile::WorkMarker::Work::Restore);
    // Only a whole cash book goes over the data file.
    progress.begin(QStringLiteral("Die Sicherheitskopie wird geprüft …"));
    // The copy carries the built-in password, or none when it was taken while Tillbook ran.
    QByteArray key;
    std::optional<Result> firstFailure;
    for (const QByteArray& k : cashfile::keysInTurn()) {
        const Result checked = cashfile::verifyBook(source, k);
        if (checked.ok()) {
            key = k;
            firstFailure.reset();
            break;
        }
        if (!firstFailure)
            firstFailure = checked;
    }
    if (firstFailure)
        return fail(RestoreResult::Cause::CopyUnusable, *firstFailure);
    std::optional<cashfile::RowCounts> counts;
    if (auto db = Database::open(source, key))
        counts = cashfile::countRows(*db);
    // The data file it replaces is kept once, so restoring the wrong copy loses nothing.
    if (QFileInfo(target).isFile()) {
        const Result kept = keepCopy(target, keptCopyOf(target));
        if (!kept.ok())
            return fail(RestoreResult::Cause::Other, kept);
        result.keptOld = true;
    }
    progress.begin(QStringLiteral("Die Sicherheitskopie wird zurückgeschrieben …"));
    const Result copied = FileCopy(source, target, [&](const QString& tmp) {
        progress.begin(QStringLiteral("Die zurückgeschriebene Datei wird geprüft …"));
        Result r = cashfile::verifyBook(tmp, key, counts);
        // The restored file says in its change log that it was restored, and from what.
        if (r.ok())
            r = logRestore(tmp, key, source, result.keptOld ? keptCopyOf(target) : QString());
        if (r.ok())
            marker.replacing(tmp);
        return r;
    });
    if (!copied.ok())
        return fail(RestoreResult::Cause::Other, copied);
    return result;
}

Restore::Outcome Restore::restore(const BackupEntry* chosen) {
    if (!chosen || chosen->text.isEmpty()) {
        dialogs_.message(QStringLiteral("Bitte wählen Sie eine Datei"));
        return Outcome::NothingChosen;
    }
    if (dialogs_.message(QStringLiteral("Möchten Sie die Daten aus der Sicherheitkopie mit dem "
                                        "Datenstand vom ") +
                             chosen->stamp + QStringLiteral(" jetzt wieder herstellen "),
                         QStringLiteral("Wiederherstellen"), Icon::Question,
                         Buttons::YesNo) != Answer::Yes)
        return Outcome::Declined;
    const QString target = destination();
    const QString source = sourceFor(*chosen);
    const RestoreResult r = runner(QStringLiteral("Wiederherstellen"), [&](Progress& progress) {
        return restoreFile(source, target, progress);
    });
    if (!r.ok()) {
        failed(r, source);
        return Outcome::Failed;
    }
    QString text = QStringLiteral("Daten wurden aus der Sicherheitskopie wieder hergestellt. Sie "
                                  "können jetzt Tillbook starten. ");
    if (!r.madeFolder.isEmpty())
        text += QStringLiteral("\nDer Ordner des Kassenbuchs\n%1\nwar nicht vorhanden und wurde "
                               "angelegt.")
                    .arg(r.madeFolder);
    if (r.keptOld)
        text += QStringLiteral("\nDer Datenstand vor der Wiederherstellung ist als %1 "
                               "aufbewahrt.")
                    .arg(keptCopyOf(target));
    dialogs_.message(text, QStringLiteral("Daten hergestellt"), Icon::Information);
    return Outcome::Restored;
}

bool Restore::resetDataPath() {
    if (dialogs_.message(QStringLiteral("Der Datenpfad wird hiermit zurückgesetzt. Die "
                                        "Kassenbuch-Daten werden danach aus ''") +
                             defaultDataPath(),
                         QStringLiteral("Achtung !"), Icon::Question,
                         Buttons::YesNo) != Answer::Yes)
        return false;
    store_.remove(SettingsStore::startup(), paths::kDataPathKey);
    readPaths();
    return true;
}

} // namespace tb
