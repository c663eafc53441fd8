#include "startup.h"

#include "data_path_check.h"
#include "data_paths.h"
#include "work_marker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tb {

namespace {
const QString kEnd = QStringLiteral("Das Programm wird beendet; die Datei bleibt unverändert.");
const QString kEndNothingMade =
    QStringLiteral("Das Programm wird beendet; es wird nichts angelegt.");
} // namespace

std::unique_ptr<Session> Startup::fail(const QString& text) {
    dialogs_.message(text, QStringLiteral("Tillbook"), Icon::Critical);
    return nullptr;
}

std::unique_ptr<Session> Startup::refuseFor(const pathcheck::Finding& f, const QString& stated) {
    using pathcheck::Problem;
    const QString folder = paths::folderOf(f.path);
    switch (f.problem) {
    case Problem::Undecodable:
        return fail(QStringLiteral("Der gespeicherte Datenpfad ist kein gültiger Dateiname:\n%1\n\n"
                                   "Bitte stellen Sie den Datenpfad mit Restorix neu ein. ")
                        .arg(stated) +
                    kEndNothingMade);
    case Problem::DanglingLink:
        return fail(QStringLiteral("Der Datenpfad\n%1\nist eine Verknüpfung auf\n%2\n, die nicht "
                                   "vorhanden ist. Ist der Datenträger angeschlossen? ")
                        .arg(stated, QFileInfo(stated).symLinkTarget()) +
                    kEndNothingMade);
    case Problem::Folder:
        return fail(QStringLiteral("Der Datenpfad\n%1\nist ein Ordner, keine Kassenbuch-Datei. ")
                        .arg(f.path) +
                    kEndNothingMade);
    case Problem::NotAFile:
        return fail(QStringLiteral("Der Datenpfad\n%1\nist keine gewöhnliche Datei (sondern z. B. "
                                   "ein Gerät). ")
                        .arg(f.path) +
                    kEndNothingMade);
    case Problem::Unreadable:
        return fail(QStringLiteral("Die Kassenbuch-Datei\n%1\ndarf nicht gelesen werden: Es fehlt "
                                   "die Leseberechtigung für die Datei. ")
                        .arg(f.path) +
                    kEnd);
    case Problem::FileReadOnly:
        return fail(QStringLiteral("Das Kassenbuch\n%1\nist schreibgeschützt: Es fehlt die "
                                   "Schreibberechtigung für die Datei. Ohne sie kann keine "
                                   "Buchung gespeichert werden. ")
                        .arg(f.path) +
                    kEnd);
    case Problem::FolderReadOnly:
        return fail(
            QStringLiteral("Das Kassenbuch\n%1\nist schreibgeschützt, weil in seinen Ordner "
                           "nicht geschrieben werden darf:\n%2\nEs fehlt die "
                           "Schreibberechtigung für den Ordner; Tillbook braucht sie für "
                           "die Sperrdatei und um die Datei sicher zu schreiben. ")
                .arg(f.path, folder) +
            kEnd);
    case Problem::None:
    case Problem::Missing:
        break;
    }
    return nullptr;
}

std::unique_ptr<Session> Startup::open() {
    auto session = std::make_unique<Session>();
    QDir().mkpath(paths::defaultBackupFolder());

    const QString section = SettingsStore::startup();
    const QString defaultPath = paths::tillbookDefaultDataPath(commonDocuments_);
    const QString stated = paths::effectiveDataPath(
        store_.get(section, paths::kDataPathKey, defaultPath), defaultPath);
    session->backupPath = store_.get(section, paths::kBackupKey, paths::defaultBackupPath());

    pathcheck::Finding found = pathcheck::inspect(stated);
    if (found.problem == pathcheck::Problem::Undecodable)
        return refuseFor(found, stated); // never written back: it would become another path
    // The effective path is written back at every start, whatever happens to the file then.
    store_.save(section, paths::kDataPathKey, stated);

    // Every rewrite, the lock and the backups work on the real file in its own folder.
    session->dataPath = found.path;
    const QString& path = session->dataPath;

    if (found.problem == pathcheck::Problem::Missing) {
        // Only the default data folder is made; elsewhere a missing folder may be a drive that
        // is not connected, and a book made there would land on the system disk.
        if (const Result may = pathcheck::mayCreateAt(path, path == defaultPath); !may)
            return fail(QStringLiteral("Das Kassenbuch konnte nicht angelegt werden:\n%1\n\n%2\n\n")
                            .arg(QDir::toNativeSeparators(path), germanText(may)) +
                        kEndNothingMade);
        const Answer a = dialogs_.message(
            QStringLiteral("Die Kassenbuch-Datei wurde nicht gefunden:\n%1\n\nSoll dort ein "
                           "neues, leeres Kassenbuch angelegt werden ?")
                .arg(QDir::toNativeSeparators(path)),
            QStringLiteral("Kassenbuch nicht gefunden"), Icon::Question, Buttons::YesNo);
        if (a != Answer::Yes)
            return nullptr;
        if (Result made = cashfile::createEmpty(path); !made)
            return fail(QStringLiteral("Das Kassenbuch konnte nicht angelegt werden:\n%1\n\n%2")
                            .arg(path, germanText(made)));
        found = pathcheck::inspect(path);
    }
    if (found.problem != pathcheck::Problem::None)
        return refuseFor(found, stated);

    // The lock comes first: a second Tillbook must not touch the file at all.
    session->lock = std::make_unique<cashfile::FileLock>(path);
    const cashfile::FileLock::Outcome lock = session->lock->acquire();
    switch (lock.kind) {
    case cashfile::FileLock::Outcome::Acquired:
        break;
    case cashfile::FileLock::Outcome::Held:
        return fail(QStringLiteral("Das Kassenbuch ist bereits geöffnet (%1):\n%2\n\nBitte "
                                   "arbeiten Sie in dem bereits geöffneten Programm weiter.")
                        .arg(lock.holder, path));
    case cashfile::FileLock::Outcome::CannotRemove:
        return fail(QStringLiteral("Das Kassenbuch\n%1\nkann nicht geöffnet werden: Die "
                                   "Sperrdatei\n%2\nstammt von einem Programm, das nicht mehr "
                                   "läuft, kann aber nicht entfernt werden. %3\n\nBitte "
                                   "entfernen Sie die Sperrdatei von Hand (im Dateimanager oder "
                                   "mit dem Befehl rm), sobald kein Tillbook und kein Restorix "
                                   "mehr läuft, und starten Sie Tillbook dann neu.")
                        .arg(path, session->lock->lockPath(), lock.detail));
    case cashfile::FileLock::Outcome::CannotCreate:
        return fail(QStringLiteral("Das Kassenbuch\n%1\nkann nicht geöffnet werden: Die "
                                   "Sperrdatei\n%2\nkann nicht angelegt werden. %3")
                        .arg(path, session->lock->lockPath(), lock.detail));
    }
    session->lastRunEndedAbnormally = lock.tookOverStale;
    // Restorix, not Tillbook, was stopped in the middle of a restore or repair: say what
    // became of it. Tillbook itself had ended properly before.
    if (const auto work = cashfile::WorkMarker::find(path)) {
        dialogs_.message(cashfile::WorkMarker::message(*work, path), QStringLiteral("Tillbook"),
                         Icon::Exclamation);
        cashfile::WorkMarker::clear(path);
        session->lastRunEndedAbnormally = false;
    }

    cashfile::State state = cashfile::probe(path);
    if (state == cashfile::State::NotACashBook) {
        // Never delete the only good copy: a rewrite cut short may hold the whole book.
        const QString rewrite = cashfile::completeRewriteOf(path);
        if (rewrite.isEmpty() || !takeOverRewrite(path, rewrite))
            return fail(QStringLiteral("Die Datei\n%1\nist kein Kassenbuch oder kann nicht "
                                       "geöffnet werden. ")
                            .arg(path) +
                        kEnd);
        state = cashfile::probe(path);
    }
    // What an interrupted rewrite of ours left beside the file goes, now that the file opens;
    // and what a copy cut short left in the backup folder (the old copies are untouched).
    cashfile::removeTemporaryFiles(path);
    removeCopyTemporaries(session->backupPath);

    if (session->lastRunEndedAbnormally && offerBackup)
        offerBackup(*session);

    Result opened = cashfile::removePassword(path);
    if (opened)
        session->db = Database::open(path, {}, &opened);
    if (session->db)
        opened = cashfile::upgrade(*session->db);
    if (!opened)
        return fail(QStringLiteral("Das Kassenbuch kann nicht geöffnet werden:\n%1\n\n%2\n\nDie "
                                   "Datei bleibt unverändert.")
                        .arg(path, germanText(opened)));
    return session;
}

bool Startup::takeOverRewrite(const QString& path, const QString& rewrite) {
    const QString kept = cashfile::freeDamagedNameOf(path);
    const Answer a = dialogs_.message(
        QStringLiteral("Das Kassenbuch\n%1\nkann nicht geöffnet werden. Daneben liegt die "
                       "vollständige Datei\n%2\naus einem unterbrochenen Speichervorgang.\n\nSoll "
                       "sie als Kassenbuch übernommen werden? Die bisherige Datei bleibt als\n%3\n"
                       "erhalten.")
            .arg(path, rewrite, kept),
        QStringLiteral("Kassenbuch wiederherstellen"), Icon::Question, Buttons::YesNo);
    if (a != Answer::Yes)
        return false;
    // kept is a free name: nothing is replaced but the damaged file by the whole rewrite.
    if (!replaceFile(path, kept).ok())
        return false;
    if (!replaceFile(rewrite, path).ok()) {
        replaceFile(kept, path);
        return false;
    }
    return true;
}

void Startup::removeCopyTemporaries(const QString& backupPath) {
    QStringList copies{backupPath};
    for (int d = 1; d <= 7; ++d)
        copies << paths::weekdayCopyOf(backupPath, d);
    for (const QString& copy : copies) {
        const QString tmp = copyTempOf(copy);
        if (QFileInfo(tmp).isFile())
            QFile::remove(tmp);
        const QFileInfo info(copy);
        for (const QString& probe :
             info.dir().entryList({info.fileName() + QStringLiteral(".tmp-probe-*")}, QDir::Files))
            QFile::remove(info.dir().filePath(probe));
    }
}

Result Startup::close(Session& session) {
    session.db.reset();
    Result done = cashfile::putPasswordBack(session.dataPath);
    if (session.lock)
        session.lock->unlock();
    return done;
}

} // namespace tb
