#include "cash_file.h"

#include "change_log.h"
#include "file_copy.h"
#include "page_cipher.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tb::cashfile {

QByteArray builtInPassword() {
    return QByteArrayLiteral("vodle");
}

std::array<QByteArray, 2> keysInTurn() {
    return {builtInPassword(), QByteArray()};
}

static bool hasPlainHeader(const QString& path);

std::unique_ptr<Database> openWithEitherKey(const QString& path,
                                            const std::function<bool(Database&)>& accept,
                                            QByteArray* usedKey, Result* failure) {
    // A file that starts with the engine's plain header has no password (a keyed file starts
    // with its random salt), which spares deriving the key for nothing.
    const bool plainHeader = hasPlainHeader(path);
    for (const QByteArray& key : keysInTurn()) {
        if (plainHeader && !key.isEmpty())
            continue;
        Result why;
        auto db = Database::open(path, key, &why);
        if (!db && failure)
            *failure = why;
        if (db && (!accept || accept(*db))) {
            if (usedKey)
                *usedKey = key;
            return db;
        }
    }
    return nullptr;
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

// What older files are brought up to at their first start (upgrade), in one transaction.
static const char* const kUpgrade[] = {
    // The open lines' texts in text order: the booking-text selector.
    "CREATE INDEX IF NOT EXISTS Buchungen_offen ON Buchungen (a12, n1);",
    // Earlier builds kept the lines in date order in an index on text functions of a10. The
    // engine rewrites such an index with every changed balance, which doubled the time of a
    // full walk; the listings and the walk sort in memory instead.
    "DROP INDEX IF EXISTS Buchungen_folge;",
    // The accounts for the tax advisor's booking batch: one record of numbers and default
    // accounts, and the account of each booking text that has one of its own.
    "CREATE TABLE IF NOT EXISTS Beraterkonten (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "Beraternummer TEXT, Mandantennummer TEXT, WJBeginn TEXT, Sachkontenlaenge TEXT, "
    "Kontenrahmen TEXT, Kasse TEXT, Einnahmen1 TEXT, Einnahmen2 TEXT, Ausgaben1 TEXT, "
    "Ausgaben2 TEXT);",
    "CREATE TABLE IF NOT EXISTS Kontierung (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "Buchungstext TEXT, Konto TEXT, Automatik TEXT, BU TEXT);",
    "CREATE UNIQUE INDEX IF NOT EXISTS Kontierung_Buchungstext ON Kontierung (Buchungstext);",
    // The kept counts of the till: when, on which day, the fifteen counts, the counted total,
    // the book balance and the difference. A kept count is the record that the book matched
    // the cash (or did not): it stands as written.
    "CREATE TABLE IF NOT EXISTS Zaehlungen (ID INTEGER PRIMARY KEY AUTOINCREMENT, Zeit TEXT, "
    "Tag TEXT, Anzahl1 TEXT, Anzahl2 TEXT, Anzahl3 TEXT, Anzahl4 TEXT, Anzahl5 TEXT, "
    "Anzahl6 TEXT, Anzahl7 TEXT, Anzahl8 TEXT, Anzahl9 TEXT, Anzahl10 TEXT, Anzahl11 TEXT, "
    "Anzahl12 TEXT, Anzahl13 TEXT, Anzahl14 TEXT, Anzahl15 TEXT, Gezaehlt TEXT, "
    "Buchbestand TEXT, Differenz TEXT);",
    "CREATE TRIGGER IF NOT EXISTS Zaehlungen_unveraendert BEFORE UPDATE ON Zaehlungen "
    "BEGIN SELECT RAISE(ABORT, 'Eine gespeicherte Zaehlung wird nicht geaendert.'); END;",
    "CREATE TRIGGER IF NOT EXISTS Zaehlungen_bleiben BEFORE DELETE ON Zaehlungen "
    "BEGIN SELECT RAISE(ABORT, 'Eine gespeicherte Zaehlung wird nicht geloescht.'); END;",
};

Result upgrade(Database& db) {
    Transaction t(db);
    for (const char* sql : kUpgrade)
        if (Result r = db.exec(QString::fromLatin1(sql)); !r)
            return r;
    // A book without the change log gets it, beginning with the book as it is; and the
    // log's triggers are put back where they are missing.
    if (Result r = changelog::ensureLog(db, changelog::Reason::None); !r)
        return r;
    if (Result r = changelog::ensureTriggers(db); !r)
        return r;
    if (!t.commit())
        return finding({}); // the commit failed without a cause
    return {};
}

bool hasCashBookTables(Database& db) {
    const QString n = db.scalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                       "('Datum','Buchungen','Einstellungen','Buchungstext');"));
    return n == QLatin1String("4");
}

std::optional<RowCounts> countRows(Database& db) {
    RowCounts c;
    int i = 0;
    const bool logged = changelog::hasLog(db);
    for (const char* table : {"Datum", "Buchungen", "Einstellungen", "Buchungstext", "Protokoll"}) {
        if (!logged && std::string_view(table) == "Protokoll")
            break; // a book from before the log
        Statement st =
            db.prepare(QStringLiteral("SELECT count(*) FROM %1;").arg(QLatin1String(table)));
        if (!st.next())
            return std::nullopt;
        c.rows[static_cast<size_t>(i++)] = st.integer(0);
    }
    return c;
}

static Result broken(const QString& why) {
    Result r = finding(QStringLiteral("Die Kopie ist nicht in Ordnung: ") + why);
    r.systemText = why;
    return r;
}

static Result notACashBook() {
    return finding(QStringLiteral("Die Datei ist kein Kassenbuch."));
}

Result checkOpens(const QString& path, const QByteArray& key) {
    Result why;
    auto db = Database::open(path, key, &why);
    if (!db)
        return broken(germanText(why));
    if (!hasCashBookTables(*db))
        return broken(QStringLiteral("Die Datei ist kein Kassenbuch."));
    const qint64 pages = db->scalar(QStringLiteral("PRAGMA page_count;")).toLongLong();
    const qint64 pageSize = db->scalar(QStringLiteral("PRAGMA page_size;")).toLongLong();
    if (pages <= 0 || pages * pageSize != QFileInfo(path).size())
        return broken(QStringLiteral("Die Datei ist unvollständig."));
    return {};
}

Result verifyBook(const QString& path, const QByteArray& key,
                  const std::optional<RowCounts>& expected) {
    Result why;
    auto db = Database::open(path, key, &why);
    if (!db)
        return broken(germanText(why));
    const QString integrity = db->scalar(QStringLiteral("PRAGMA integrity_check;"));
    if (integrity != QLatin1String("ok"))
        return broken(QStringLiteral("Die Prüfung der Datenbank meldet: ") + integrity);
    if (!hasCashBookTables(*db))
        return broken(QStringLiteral("Die Datei ist kein Kassenbuch."));
    const auto counts = countRows(*db);
    if (!counts || (expected && !(*counts == *expected)))
        return broken(
            QStringLiteral("Die Zahl der Zeilen stimmt nicht mit der Datendatei überein."));
    return {};
}

Result protect(const QString& path) {
    if (!QFileInfo(path).isFile())
        return fromErrno(ENOENT);
    return putPasswordBack(path);
}

static bool hasPlainHeader(const QString& path) {
    return fileStart(path, 16) == QByteArray("SQLite format 3", 16);
}

State probe(const QString& path) {
    if (!QFileInfo(path).isFile())
        return State::Missing;
    // Read-only probing: open with the key first, then without.
    QByteArray key;
    auto db = openWithEitherKey(path, {}, &key);
    if (!db || !hasCashBookTables(*db))
        return State::NotACashBook;
    return key.isEmpty() ? State::Plain : State::Protected;
}

static QString rekeyTemp(const QString& path) {
    return path + QStringLiteral(".tmp-rekey");
}

QStringList temporaryFilesOf(const QString& path) {
    const QString rekey = rekeyTemp(path);
    // The engine's own journal of the file is rolled back by the first read when it is hot; one
    // still there after that is a cold leftover of a killed transaction.
    return {path + QStringLiteral("-journal"), rekey, rekey + QStringLiteral("-journal"),
            path + QStringLiteral(".tmp-copy"),
            // the journal of the restore's entry in the change log, written into the copy
            path + QStringLiteral(".tmp-copy-journal"), path + QStringLiteral(".temp"),
            path + QStringLiteral(".temp-journal"),
            path + QStringLiteral(".vor-Wiederherstellung.tmp-link"),
            path + QStringLiteral(".vor-Wiederherstellung.tmp-copy")};
}

void removeTemporaryFiles(const QString& path) {
    for (const QString& f : temporaryFilesOf(path))
        if (QFileInfo(f).isFile())
            QFile::remove(f);
}

QString completeRewriteOf(const QString& path) {
    const QString tmp = rekeyTemp(path);
    // A journal beside it means the rewrite itself was cut short: not complete.
    if (!QFileInfo(tmp).isFile() || QFileInfo::exists(tmp + QStringLiteral("-journal")))
        return {};
    const auto whole = [](Database& db) {
        return hasCashBookTables(db) &&
               db.scalar(QStringLiteral("PRAGMA integrity_check;")) == QLatin1String("ok");
    };
    return openWithEitherKey(tmp, whole) ? tmp : QString();
}

namespace {
// The file open for reading while the engine holds its read lock: the descriptor is closed only
// after the connection, as closing it drops every lock the process holds on the file.
struct RawFile {
    int fd = -1;
    explicit RawFile(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {}
    ~RawFile() {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

// The rewrite under a new key (changePassword), its failure kept as the engine or the system
// reported it.
static Result rekey(const QString& path, const QByteArray& oldKey, const QByteArray& newKey) {
    // Nothing of a failed rewrite stays beside the file, nor of one a crash cut short before.
    PendingFile rewrite(path, rekeyTemp(path), PendingFile::Mode::TargetsMode);
    const QString& tmp = rewrite.path();
    rewrite.discard();
    const RawFile raw(path);
    {
        Result why;
        auto db = Database::open(path, oldKey, &why);
        if (!db)
            return why;
        // Nobody else may write to the file while it is rewritten: the read below takes the
        // engine's read lock (rolling back a journal a crash left) and keeps it to the end.
        db->exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE;"));
        const bool locked = db->exec(QStringLiteral("SELECT count(*) FROM sqlite_master;")).ok();
        // Taking the password off or putting it back is one pass over the pages when the file
        // has the page form of the keyed format; anything else the engine rewrites.
        pagecipher::Pass pass{pagecipher::Pass::NotApplicable, {}};
        if (locked && raw.fd >= 0 && oldKey.isEmpty() != newKey.isEmpty())
            pass = oldKey.isEmpty() ? pagecipher::encryptFile(raw.fd, tmp, newKey)
                                    : pagecipher::decryptFile(raw.fd, tmp, oldKey);
        if (pass.kind == pagecipher::Pass::Failed)
            return pass.failure;
        if (pass.kind == pagecipher::Pass::NotApplicable) {
            rewrite.discard();
            Statement attach = db->prepare(QStringLiteral("ATTACH DATABASE ? AS target KEY ?;"));
            attach.bind(1, tmp);
            attach.bind(2, QString::fromLatin1(newKey));
            if (!attach.run())
                return attach.failure();
            if (Result r = db->exec(QStringLiteral("SELECT sqlcipher_export('target');")); !r)
                return r;
            if (Result r = db->exec(QStringLiteral("DETACH DATABASE target;")); !r)
                return r;
        }
    }
    // The rewritten file must be complete on disk before it takes the original's name, and
    // open under the new key as a cash book with every page its header counts.
    if (Result synced = rewrite.check(); !synced.ok()) {
        synced.detail = QStringLiteral("Die Datei konnte nicht vollständig geschrieben werden. ") +
                        germanText(synced);
        return synced;
    }
    return rewrite.putInPlace([&](const QString& file) { return checkOpens(file, newKey); });
}

Result changePassword(const QString& path, const QByteArray& oldKey, const QByteArray& newKey) {
    return rekey(path, oldKey, newKey);
}

Result removePassword(const QString& path) {
    switch (probe(path)) {
    case State::Plain:
        return {};
    case State::Protected:
        return changePassword(path, builtInPassword(), {});
    default:
        return notACashBook();
    }
}

Result putPasswordBack(const QString& path) {
    switch (probe(path)) {
    case State::Protected:
        return {};
    case State::Plain:
        return rekey(path, {}, builtInPassword());
    default:
        return notACashBook();
    }
}

Result createEmpty(const QString& path, const QByteArray& key, bool withLog) {
    if (QFileInfo::exists(path))
        return finding(QStringLiteral("Die Datei ist bereits vorhanden."));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return finding(QStringLiteral("Der Ordner konnte nicht angelegt werden."));
    Result why;
    auto fail = [&](Result r) {
        QFile::remove(path);
        return r;
    };
    {
        auto db = Database::open(path, key, &why, Database::Mode::Create);
        if (!db)
            return fail(why);
        Transaction t(*db);
        for (const char* sql : kSchema) {
            if (why = db->exec(QString::fromLatin1(sql)); !why)
                return fail(why);
        }
        for (const char* sql : kUpgrade) {
            if (why = db->exec(QString::fromLatin1(sql)); !why)
                return fail(why);
        }
        if (why = db->exec(QStringLiteral(
                "INSERT INTO Einstellungen (Einst10, Einst11, Einst12, Einst13, Einst14, "
                "Einst15, Einst16, Einst17, Einst18, Einst19, Einst20, Memo8, Memo9, "
                "Memo10) VALUES ('St 1', 'St 2', 'Einnahme', 'Ausgabe', '', '0', "
                "'19', '7', 'EUR', '1', '', '', '', '');"));
            why)
            why = db->exec(QStringLiteral("INSERT INTO Buchungstext (a1) VALUES ('Bareinnahme');"));
        if (why && withLog)
            why = changelog::ensureLog(*db, changelog::Reason::NewBook);
        if (!why)
            return fail(why);
        if (!t.commit())
            return fail(db->failureTold({}));
    }
    syncFile(path);
    return {};
}

FileLock::FileLock(const QString& dataPath)
    : path_(lockPathFor(dataPath)), lock_(new QLockFile(path_)) {
    // Staleness is judged here (see acquire), not by the lock's age.
    lock_->setStaleLockTime(0);
}

FileLock::~FileLock() = default;

QString FileLock::lockPathFor(const QString& dataPath) {
    return dataPath + QStringLiteral(".lock");
}

namespace {
// What a lock file says: the PID, the program and the machine that wrote it.
struct LockInfo {
    bool readable = false;
    qint64 pid = 0;
    QString app;
    QString host;
};

LockInfo readLock(const QString& path) {
    LockInfo info;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return info;
    const QList<QByteArray> lines = f.read(4096).split('\n');
    if (lines.size() < 3)
        return info;
    bool ok = false;
    info.pid = lines[0].trimmed().toLongLong(&ok);
    info.app = QString::fromUtf8(lines[1].trimmed());
    info.host = QString::fromUtf8(lines[2].trimmed());
    info.readable = ok && info.pid > 0;
    return info;
}

// A process of ours holds the lock: it runs on this machine under the name it wrote, or as one
// of the two programs.
bool isLiveHolder(const LockInfo& info) {
    if (info.host != QSysInfo::machineHostName())
        return true; // another machine: we cannot tell, so it counts
    if (::kill(static_cast<pid_t>(info.pid), 0) != 0 && errno == ESRCH)
        return false;
    QFile comm(QStringLiteral("/proc/%1/comm").arg(info.pid));
    if (!comm.open(QIODevice::ReadOnly))
        return true;
    const QString name = QString::fromUtf8(comm.readAll().trimmed());
    return name == info.app.left(15) || name == QLatin1String("tillbook") ||
           name == QLatin1String("restorix");
}

// How long a lock file that cannot be read yet may be the lock of a program that is just
// starting (it is created first and written an instant later).
constexpr qint64 kFreshLockMs = 3000;
} // namespace

FileLock::Outcome FileLock::acquire() {
    Outcome out;
    for (int attempt = 0; attempt < 40; ++attempt) {
        const QFileInfo fi(path_);
        if (fi.exists() || fi.isSymLink()) {
            const LockInfo info = fi.isFile() ? readLock(path_) : LockInfo{};
            if (info.readable && isLiveHolder(info)) {
                out.kind = Outcome::Held;
                out.holder = QStringLiteral("PID %1 auf %2").arg(info.pid).arg(info.host);
                return out;
            }
            const qint64 age = fi.lastModified().msecsTo(QDateTime::currentDateTime());
            if (!info.readable && fi.isFile() && age >= 0 && age < kFreshLockMs) {
                QThread::msleep(100); // a start at the same moment: wait for its lock
                continue;
            }
            // Stale: nobody works on the file any more.
            const QByteArray name = QFile::encodeName(path_);
            const int rc = fi.isDir() && !fi.isSymLink() ? ::rmdir(name.constData())
                                                         : ::unlink(name.constData());
            if (rc != 0 && errno != ENOENT) {
                out.kind = Outcome::CannotRemove;
                out.detail = germanText(fromErrno(errno));
                return out;
            }
            out.tookOverStale = true;
        }
        if (lock_->tryLock(0)) {
            out.kind = Outcome::Acquired;
            return out;
        }
        if (lock_->error() != QLockFile::LockFailedError) {
            out.kind = Outcome::CannotCreate;
            out.detail = germanText(fromErrno(errno ? errno : EACCES));
            return out;
        }
    }
    out.kind = Outcome::Held;
    out.holder = holder();
    return out;
}

Result FileLock::acquireOrBusy(const QString& openPhrase) {
    const Outcome held = acquire();
    if (held.ok())
        return {};
    Result busy = fromErrno(EBUSY);
    busy.detail = germanText(busy) + (held.holder.isEmpty() ? QLatin1Char(' ') + held.detail
                                                            : openPhrase.arg(held.holder));
    return busy;
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
