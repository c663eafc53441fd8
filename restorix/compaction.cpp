#include "compaction.h"

#include "cash_file.h"
#include "data_path_check.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace tb {

namespace {
FileResult dbFailure(const QString& why) {
    FileResult r;
    r.error = FileError::Other;
    r.number = why.contains(QLatin1String("Der Datenträger ist voll.")) ? ENOSPC : EIO;
    r.systemText = why;
    r.detail = why;
    return r;
}
} // namespace

FileResult Compaction::compact(const QString& given) {
    const QString path = pathcheck::realPath(given);
    const QString temp = tempOf(path);
    if (!QFileInfo(path).isFile())
        return fromErrno(ENOENT);
    cashfile::FileLock lock(path);
    const cashfile::FileLock::Outcome held = lock.acquire();
    if (!held.ok()) {
        FileResult busy = fromErrno(EBUSY);
        busy.detail += QStringLiteral(" Das Kassenbuch ist geöffnet (%1).").arg(held.holder);
        return busy;
    }
    if (QFileInfo::exists(temp)) {
        FileResult stale = fromErrno(EEXIST);
        stale.detail = QStringLiteral("Die Datei %1 ist von einem früheren Versuch noch "
                                      "vorhanden. Bitte prüfen und entfernen Sie sie. ")
                           .arg(temp) +
                       stale.detail;
        return stale;
    }
    // The file carries the built-in password; one left open by a crash may not.
    QString why;
    std::unique_ptr<Database> db;
    for (const QByteArray& key : {cashfile::builtInPassword(), QByteArray()})
        if ((db = Database::open(path, key, &why)) && cashfile::hasCashBookTables(*db))
            break;
    if (!db)
        return dbFailure(why);
    const auto counts = cashfile::countRows(*db);
    {
        Statement attach = db->prepare(QStringLiteral("ATTACH DATABASE ? AS fresh KEY ?;"));
        attach.bind(1, temp);
        attach.bind(2, QString::fromLatin1(cashfile::builtInPassword()));
        const bool exported = attach.run() &&
                              db->exec(QStringLiteral("SELECT sqlcipher_export('fresh');"), &why) &&
                              db->exec(QStringLiteral("DETACH DATABASE fresh;"), &why);
        if (!exported) {
            if (why.isEmpty())
                why = attach.error();
            db.reset();
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            return dbFailure(why);
        }
    }
    db.reset();
    // The old file goes only when the new one is whole on disk.
    FileResult r = syncFile(temp) ? cashfile::verifyBook(temp, cashfile::builtInPassword(), counts)
                                  : fromErrno(errno);
    if (r.ok()) {
        QFile::setPermissions(temp, QFile::permissions(path));
        r = replaceFile(temp, path);
    }
    if (!r.ok())
        QFile::remove(temp);
    return r;
}

Compaction::Outcome Compaction::run(const QString& path) {
    const FileResult r = compact(path);
    if (!r.ok()) {
        dialogs_.message(QStringLiteral("Die Datenbank\n%1\nkonnte nicht repariert und komprimiert "
                                        "werden.\n\nFehler %2 - %3")
                             .arg(path)
                             .arg(r.number)
                             .arg(r.detail),
                         QStringLiteral("Merowa"), Icon::Critical);
        return Outcome::Failed;
    }
    dialogs_.message(QStringLiteral("Dateigröße: ") +
                         QString::number(QFileInfo(pathcheck::realPath(path)).size()) +
                         QStringLiteral(" repariert und komprimiert. Bitte starten Sie Tillbook "
                                        "neu."),
                     QStringLiteral("Merowa"), Icon::Information);
    return Outcome::Done;
}

} // namespace tb
