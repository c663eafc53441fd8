#include "restore.h"

#include "cash_file.h"
#include "data_path_check.h"
#include "data_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tb {

namespace {
const QString kFileName = QStringLiteral("Tillbook.kas");
} // namespace

Restore::Restore(SettingsStore& store, Dialogs& dialogs, QString commonDocuments,
                 QString programFolder)
    : store_(store), dialogs_(dialogs), commonDocuments_(std::move(commonDocuments)),
      programFolder_(std::move(programFolder)) {
    readPaths();
    folder_ = backupPath_.left(backupPath_.size() - kFileName.size());
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
    return dataFile + QStringLiteral(".vor-Wiederherstellung");
}

void Restore::failed(const FileResult& r) {
    dialogs_.message(
        QStringLiteral("Tillbook ist noch geöffnet. Lösungen: Beenden Sie Zugriffe von einem "
                       "anderen Netzwerk-User, beenden Sie alle evtl. noch im Hintergrund "
                       "laufenden Prozesse von Logis 4.0 mit dem Taskmanager bzw. starten Sie "
                       "Ihren Computer neu.") +
            QStringLiteral("\nFehlernummer ") + QString::number(r.number) + QStringLiteral(" - ") +
            r.detail,
        QStringLiteral("Fehler"), Icon::Critical);
}

FileResult Restore::restoreFile(const QString& source, const QString& target) {
    // Linux lets anyone overwrite an open file: the lock is the guard against a running
    // Tillbook, which would otherwise go on writing into the replaced file.
    cashfile::FileLock lock(target);
    const cashfile::FileLock::Outcome held = lock.acquire();
    if (!held.ok()) {
        FileResult busy = fromErrno(EBUSY);
        if (!held.holder.isEmpty())
            busy.detail += QStringLiteral(" Das Kassenbuch ist geöffnet (%1).").arg(held.holder);
        else
            busy.detail += QLatin1Char(' ') + held.detail;
        return busy;
    }
    if (!QFileInfo(source).isFile())
        return fromErrno(ENOENT);
    // Only a whole cash book goes over the data file.
    QByteArray key = cashfile::builtInPassword();
    FileResult checked = cashfile::verifyBook(source, key);
    if (!checked.ok()) {
        key.clear();
        if (!cashfile::verifyBook(source, key).ok())
            return checked;
    }
    std::optional<cashfile::RowCounts> counts;
    if (auto db = Database::open(source, key))
        counts = cashfile::countRows(*db);
    // The data file it replaces is kept once, so restoring the wrong copy loses nothing.
    if (QFileInfo(target).isFile()) {
        const QString kept = keptCopyOf(target);
        const QString linked = kept + QStringLiteral(".tmp-link");
        QFile::remove(linked);
        const bool viaLink = ::link(QFile::encodeName(target).constData(),
                                    QFile::encodeName(linked).constData()) == 0 &&
                             replaceFile(linked, kept).ok();
        if (!viaLink) {
            QFile::remove(linked);
            const FileResult copied = FileCopy(target, kept);
            if (!copied.ok())
                return copied;
        }
    }
    return FileCopy(source, target,
                    [&](const QString& tmp) { return cashfile::verifyBook(tmp, key, counts); });
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
    const FileResult r = restoreFile(sourceFor(*chosen), target);
    if (!r.ok()) {
        failed(r);
        return Outcome::Failed;
    }
    dialogs_.message(QStringLiteral("Daten wurden aus der Sicherheitskopie wieder hergestellt. Sie "
                                    "können jetzt Tillbook starten. ") +
                         QStringLiteral("\nDer Datenstand vor der Wiederherstellung ist als %1 "
                                        "aufbewahrt.")
                             .arg(keptCopyOf(target)),
                     QStringLiteral("Daten hergestellt"), Icon::Information);
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
