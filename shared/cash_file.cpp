#include "cash_file.h"

#include "file_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace tb::cashfile {

QByteArray builtInPassword() {
    return QByteArrayLiteral("vodle");
}

static const char* const kSchema[] = {
    "CREATE TABLE Datum (ID INTEGER PRIMARY KEY AUTOINCREMENT, a1 TEXT, a2 TEXT, a3 TEXT);",
    "CREATE TABLE Buchungen (ID INTEGER PRIMARY KEY AUTOINCREMENT, a1 TEXT, "
    "n1 TEXT COLLATE GERMAN_NOCASE, n2 TEXT, a3 TEXT, a4 TEXT, a5 TEXT, a6 TEXT, a7 TEXT, "
    "a8 TEXT, a9 TEXT, a10 TEXT, a11 TEXT, a12 TEXT, a13 TEXT, a14 TEXT, a15 TEXT);",
    "CREATE TABLE Einstellungen (ID INTEGER PRIMARY KEY AUTOINCREMENT, Einst10 TEXT, "
    "Einst11 TEXT, Einst12 TEXT, Einst13 TEXT, Einst14 TEXT, Einst15 TEXT, Einst16 TEXT, "
    "Einst17 TEXT, Einst18 TEXT, Einst19 TEXT, Einst20 TEXT, Memo8 TEXT, Memo9 TEXT, "
    "Memo10 TEXT);",
    "CREATE TABLE Buchungstext (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "a1 TEXT COLLATE GERMAN_NOCASE);",
    "CREATE INDEX Buchungen_a10 ON Buchungen (a10);",
    "CREATE UNIQUE INDEX Datum_a1 ON Datum (a1);",
};

bool hasCashBookTables(Database& db) {
    const QString n = db.scalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                       "('Datum','Buchungen','Einstellungen','Buchungstext');"));
    return n == QLatin1String("4");
}

State probe(const QString& path) {
    if (!QFileInfo(path).isFile())
        return State::Missing;
    // Read-only probing: open with the key first, then without.
    for (const QByteArray& key : {builtInPassword(), QByteArray()}) {
        auto db = Database::open(path, key);
        if (db)
            return hasCashBookTables(*db) ? (key.isEmpty() ? State::Plain : State::Protected)
                                          : State::NotACashBook;
    }
    return State::NotACashBook;
}

bool changePassword(const QString& path, const QByteArray& oldKey, const QByteArray& newKey,
                    QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString tmp = path + QStringLiteral(".tmp-rekey");
    QFile::remove(tmp);
    {
        auto db = Database::open(path, oldKey, error);
        if (!db)
            return false;
        // Nobody else may work on the file while it is rewritten.
        db->exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE;"));
        Statement attach = db->prepare(QStringLiteral("ATTACH DATABASE ? AS target KEY ?;"));
        attach.bind(1, tmp);
        attach.bind(2, QString::fromLatin1(newKey));
        if (!attach.run())
            return fail(attach.error());
        QString why;
        const bool exported =
            db->exec(QStringLiteral("SELECT sqlcipher_export('target');"), &why) &&
            db->exec(QStringLiteral("DETACH DATABASE target;"), &why);
        if (!exported) {
            db.reset();
            QFile::remove(tmp);
            return fail(why);
        }
    }
    // The exported file must be complete on disk before it takes the original's name.
    if (!syncFile(tmp)) {
        QFile::remove(tmp);
        return fail(QStringLiteral("Die Datei konnte nicht geschrieben werden."));
    }
    QFile::setPermissions(tmp, QFile::permissions(path));
    const FileResult r = replaceFile(tmp, path);
    if (!r.ok()) {
        QFile::remove(tmp);
        return fail(r.detail);
    }
    return true;
}

bool removePassword(const QString& path, QString* error) {
    switch (probe(path)) {
    case State::Plain:
        return true;
    case State::Protected:
        return changePassword(path, builtInPassword(), {}, error);
    default:
        if (error)
            *error = QStringLiteral("Die Datei ist kein Kassenbuch.");
        return false;
    }
}

bool putPasswordBack(const QString& path, QString* error) {
    switch (probe(path)) {
    case State::Protected:
        return true;
    case State::Plain:
        return changePassword(path, {}, builtInPassword(), error);
    default:
        if (error)
            *error = QStringLiteral("Die Datei ist kein Kassenbuch.");
        return false;
    }
}

bool createEmpty(const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        QFile::remove(path);
        return false;
    };
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("Die Datei ist bereits vorhanden.");
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("Der Ordner konnte nicht angelegt werden.");
        return false;
    }
    QString why;
    {
        auto db = Database::open(path, {}, &why, Database::Mode::Create);
        if (!db)
            return fail(why);
        Transaction t(*db);
        for (const char* sql : kSchema) {
            if (!db->exec(QString::fromLatin1(sql), &why))
                return fail(why);
        }
        const bool filled =
            db->exec(QStringLiteral(
                         "INSERT INTO Einstellungen (Einst10, Einst11, Einst12, Einst13, Einst14, "
                         "Einst15, Einst16, Einst17, Einst18, Einst19, Einst20, Memo8, Memo9, "
                         "Memo10) VALUES ('St 1', 'St 2', 'Einnahme', 'Ausgabe', '', '0', "
                         "'19', '7', 'EUR', '1', '', '', '', '');"),
                     &why) &&
            db->exec(QStringLiteral("INSERT INTO Buchungstext (a1) VALUES ('Bareinnahme');"), &why);
        if (!filled || !t.commit())
            return fail(why.isEmpty() ? db->lastError() : why);
    }
    syncFile(path);
    return true;
}

FileLock::FileLock(const QString& dataPath) : lock_(new QLockFile(lockPathFor(dataPath))) {
    // A lock older than this whose process is gone is stale; QLockFile also checks the PID.
    lock_->setStaleLockTime(0);
}

FileLock::~FileLock() = default;

QString FileLock::lockPathFor(const QString& dataPath) {
    return dataPath + QStringLiteral(".lock");
}

bool FileLock::tryLock() {
    return lock_->tryLock(0);
}

void FileLock::unlock() {
    lock_->unlock();
}

QString FileLock::holder() const {
    qint64 pid = 0;
    QString host, app;
    if (!lock_->getLockInfo(&pid, &host, &app))
        return {};
    return QStringLiteral("PID %1 auf %2").arg(pid).arg(host);
}

} // namespace tb::cashfile
