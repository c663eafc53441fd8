#include "startup.h"

#include "data_paths.h"

#include <QDir>
#include <QFileInfo>

namespace tb {

std::unique_ptr<Session> Startup::fail(const QString& text) {
    dialogs_.message(text, QStringLiteral("Tillbook"), Icon::Critical);
    return nullptr;
}

std::unique_ptr<Session> Startup::open() {
    auto session = std::make_unique<Session>();
    QDir().mkpath(paths::defaultBackupFolder());

    const QString section = SettingsStore::startup();
    const QString defaultPath = paths::tillbookDefaultDataPath(commonDocuments_);
    session->dataPath = paths::effectiveDataPath(
        store_.get(section, paths::kDataPathKey, defaultPath), defaultPath);
    session->backupPath = store_.get(section, paths::kBackupKey, paths::defaultBackupPath());
    const QString& path = session->dataPath;
    // The effective path is written back at every start, whatever happens to the file then.
    store_.save(section, paths::kDataPathKey, path);

    cashfile::State state = cashfile::probe(path);
    if (state == cashfile::State::Missing) {
        const Answer a = dialogs_.message(
            QStringLiteral("Die Kassenbuch-Datei wurde nicht gefunden:\n%1\n\nSoll dort ein "
                           "neues, leeres Kassenbuch angelegt werden ?")
                .arg(QDir::toNativeSeparators(path)),
            QStringLiteral("Kassenbuch nicht gefunden"), Icon::Question, Buttons::YesNo);
        if (a != Answer::Yes)
            return nullptr;
        QString why;
        if (!cashfile::createEmpty(path, &why))
            return fail(QStringLiteral("Das Kassenbuch konnte nicht angelegt werden:\n%1\n\n%2")
                            .arg(path, why));
        state = cashfile::State::Plain;
    }

    // The lock comes first: a second Tillbook must not touch the file at all.
    session->lock = std::make_unique<cashfile::FileLock>(path);
    if (!session->lock->tryLock()) {
        const QString holder = session->lock->holder();
        if (!holder.isEmpty())
            return fail(QStringLiteral("Das Kassenbuch ist bereits geöffnet (%1):\n%2\n\nBitte "
                                       "arbeiten Sie in dem bereits geöffneten Programm weiter.")
                            .arg(holder, path));
        return fail(QStringLiteral("Das Kassenbuch kann nicht geöffnet werden, weil in seinen "
                                   "Ordner nicht geschrieben werden darf:\n%1")
                        .arg(paths::folderOf(path)));
    }

    if (state == cashfile::State::NotACashBook)
        return fail(QStringLiteral("Die Datei\n%1\nist kein Kassenbuch oder kann nicht geöffnet "
                                   "werden. Das Programm wird beendet; die Datei bleibt "
                                   "unverändert.")
                        .arg(path));

    QString why;
    if (!cashfile::removePassword(path, &why) || !(session->db = Database::open(path, {}, &why)))
        return fail(QStringLiteral("Das Kassenbuch kann nicht geöffnet werden:\n%1\n\n%2\n\nDie "
                                   "Datei bleibt unverändert.")
                        .arg(path, why));

    return session;
}

bool Startup::close(Session& session, QString* error) {
    session.db.reset();
    const bool ok = cashfile::putPasswordBack(session.dataPath, error);
    if (session.lock)
        session.lock->unlock();
    return ok;
}

} // namespace tb
