#define SQLITE_HAS_CODEC 1
#include "database.h"

#include "change_log.h"
#include "gathering_vfs.h"
#include "jet_functions.h"
#include "page_cipher.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <linux/magic.h>
#include <sqlite3.h>
#include <sys/vfs.h>
#include <vector>

namespace tb {

static Result failureOf(sqlite3* db) {
    return fromEngine(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

Statement::Statement(sqlite3_stmt* stmt, sqlite3* db, Result failure)
    : stmt_(stmt), db_(db), failure_(std::move(failure)) {}

Statement::Statement(Statement&& other) noexcept
    : stmt_(other.stmt_), db_(other.db_), failure_(std::move(other.failure_)) {
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        if (stmt_)
            sqlite3_finalize(stmt_);
        stmt_ = other.stmt_;
        db_ = other.db_;
        failure_ = std::move(other.failure_);
        other.stmt_ = nullptr;
    }
    return *this;
}

Statement::~Statement() {
    if (stmt_)
        sqlite3_finalize(stmt_);
}

void Statement::bind(int index, const QString& value) {
    if (!stmt_)
        return;
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(stmt_, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
}

void Statement::bindUtf8(int index, std::string_view value) {
    if (stmt_)
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
}

void Statement::bind(int index, qint64 value) {
    if (stmt_)
        sqlite3_bind_int64(stmt_, index, value);
}

void Statement::bindBlob(int index, const QByteArray& value) {
    if (stmt_)
        sqlite3_bind_blob(stmt_, index, value.constData(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
}

void Statement::bindNull(int index) {
    if (stmt_)
        sqlite3_bind_null(stmt_, index);
}

void Statement::bindAll(const QStringList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

void Statement::bindValues(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        const int type = v.typeId();
        if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt)
            bind(i + 1, v.toLongLong());
        else
            bind(i + 1, v.toString());
    }
}

bool Statement::next() {
    if (!stmt_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        failure_ = failureOf(db_);
    return false;
}

bool Statement::run() {
    if (!stmt_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    failure_ = failureOf(db_);
    return false;
}

void Statement::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

int Statement::columnCount() const {
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

QString Statement::columnName(int i) const {
    return stmt_ ? QString::fromUtf8(sqlite3_column_name(stmt_, i)) : QString();
}

QString Statement::text(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, i)) : QString();
}

std::string_view Statement::utf8(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
             : std::string_view();
}

QByteArray Statement::blob(int i) const {
    const void* p = sqlite3_column_blob(stmt_, i);
    return p ? QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt_, i))
             : QByteArray();
}

bool Statement::isText(int i) const {
    return sqlite3_column_type(stmt_, i) == SQLITE_TEXT;
}

bool Statement::isInteger(int i) const {
    return sqlite3_column_type(stmt_, i) == SQLITE_INTEGER;
}

qint64 Statement::integer(int i) const {
    return sqlite3_column_int64(stmt_, i);
}

bool Statement::isNull(int i) const {
    return sqlite3_column_type(stmt_, i) == SQLITE_NULL;
}

int cipherMajorVersion() {
    static const int major = [] {
        sqlite3* db = nullptr;
        int v = 0;
        if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA cipher_version;", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                v = std::atoi(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return v;
    }();
    return major;
}

QString cipherVersion() {
    sqlite3* db = nullptr;
    QString v;
    if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA cipher_version;", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return v;
}

QByteArray fileStart(const QString& path, int bytes) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    std::vector<char> handle(static_cast<size_t>(vfs->szOsFile));
    auto* file = reinterpret_cast<sqlite3_file*>(handle.data());
    const QByteArray name = QFile::encodeName(path);
    int flags = 0;
    const int opened =
        vfs->xOpen(vfs, name.constData(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags);
    QByteArray out;
    if (opened == SQLITE_OK) {
        out.resize(bytes);
        sqlite3_int64 size = 0;
        const int rc = file->pMethods->xRead(file, out.data(), bytes, 0);
        if (rc == SQLITE_IOERR_SHORT_READ && file->pMethods->xFileSize(file, &size) == SQLITE_OK)
            out.truncate(static_cast<int>(size));
        else if (rc != SQLITE_OK)
            out.clear();
    }
    if (file->pMethods)
        file->pMethods->xClose(file);
    return out;
}

static bool onLocalDisk(const QString& path) {
    struct statfs fs {};
    if (::statfs(QFile::encodeName(path).constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<Database> Database::open(const QString& path, const QByteArray& key,
                                         Result* failure, Mode mode) {
    auto fail = [&](Result why) -> std::unique_ptr<Database> {
        if (failure)
            *failure = std::move(why);
        return nullptr;
    };
    if (mode == Mode::ReadWrite && !QFile::exists(path)) {
        Result missing = fromErrno(ENOENT);
        missing.detail = QStringLiteral("Die Datei ist nicht vorhanden.");
        return fail(missing);
    }

    sqlite3* db = nullptr;
    // CREATE also for an existing file: attached files (the rewrite under a new key) inherit
    // the connection's flags. A missing main file was refused above.
    // One thread works on a connection: no mutex around every call of the engine.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, gatheringVfs());
    if (rc != SQLITE_OK) {
        Result why = db ? failureOf(db) : fromEngine(rc, {});
        sqlite3_close(db);
        return fail(why);
    }
    std::unique_ptr<Database> result(new Database(db, path));
    if (cipherMajorVersion() >= 4) {
        // One file format for every library: SQLCipher 4 reads and writes the 3.x format
        // (page size, key derivation, HMAC) of every cash book and backup copy. The default
        // covers databases attached with a key (the rewrites under a new key).
        result->exec(QStringLiteral("PRAGMA cipher_default_compatibility = 3;"));
    }
    if (!key.isEmpty()) {
        // An existing keyed file is opened with its key derived once per process.
        const QByteArray raw = pagecipher::rawKeyOf(fileStart(path, 16), key);
        const QByteArray& given = raw.isEmpty() ? key : raw;
        sqlite3_key(db, given.constData(), static_cast<int>(given.size()));
        if (cipherMajorVersion() >= 4) {
            // SQLCipher 4 logs to stderr, among others at every key that does not fit ("hmac
            // check failed"), which the probe of an unprotected file tries at every end of a
            // run; the program reports failures in its own words. The level is the library's
            // and is reset whenever a first key is set again, so it is set after each key.
            result->exec(QStringLiteral("PRAGMA cipher_compatibility = 3;"));
            result->exec(QStringLiteral("PRAGMA cipher_log_level = NONE;"));
        }
    }
    // A plain file on a local disk is read through a memory map: a walk over every line of a
    // large book then costs no system call per page. Elsewhere (a network share, a stick) a
    // read error must stay an error the program can report, not a signal.
    if (key.isEmpty() && onLocalDisk(path))
        result->exec(QStringLiteral("PRAGMA mmap_size = 1073741824;"));
    sqlite3_busy_timeout(db, 2000);
    jet::registerFunctions(db);
    changelog::registerFunctions(db);
    // Reading the schema proves the key (or the absence of one) fits the file.
    if (Result why = result->exec(QStringLiteral("SELECT count(*) FROM sqlite_master;")); !why)
        return fail(why);
    return result;
}

Database::~Database() {
    sqlite3_update_hook(db_, nullptr, nullptr);
    sqlite3_close_v2(db_);
}

qint64 Database::totalChanges() const {
    return sqlite3_total_changes(db_);
}

qint64 Database::dataVersion() {
    Statement st = prepare(QStringLiteral("PRAGMA data_version;"));
    return st.next() ? st.integer(0) : -1;
}

Database::RowWatch Database::watchRows(RowHook hook) {
    if (rowHooks_.empty())
        sqlite3_update_hook(
            db_,
            [](void* self, int, const char*, const char* table, sqlite3_int64 rowid) {
                for (const auto& [id, told] : static_cast<Database*>(self)->rowHooks_)
                    told(table, rowid);
            },
            this);
    rowHooks_.emplace_back(++lastWatch_, std::move(hook));
    return RowWatch(this, lastWatch_);
}

void Database::unwatch(int id) {
    std::erase_if(rowHooks_, [id](const auto& h) { return h.first == id; });
    if (rowHooks_.empty())
        sqlite3_update_hook(db_, nullptr, nullptr);
}

Database::RowWatch& Database::RowWatch::operator=(RowWatch&& other) noexcept {
    if (this != &other) {
        if (db_)
            db_->unwatch(id_);
        db_ = std::exchange(other.db_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

Database::RowWatch::~RowWatch() {
    if (db_)
        db_->unwatch(id_);
}

Result Database::exec(const QString& sql) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    if (rc == SQLITE_OK)
        return {};
    Result failure = fromEngine(sqlite3_extended_errcode(db_),
                                QString::fromUtf8(msg ? msg : sqlite3_errmsg(db_)));
    sqlite3_free(msg);
    return failure;
}

Statement Database::prepare(const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db_, utf8.constData(), utf8.size(), &stmt, nullptr) != SQLITE_OK)
        return Statement(nullptr, db_, failureOf(db_));
    return Statement(stmt, db_, {});
}

qint64 Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const {
    return sqlite3_changes(db_);
}

QString Database::lastError() const {
    return germanText(lastFailure());
}

Result Database::lastFailure() const {
    return failureOf(db_);
}

Result Database::failureTold(const QString& why) const {
    const int code = sqlite3_extended_errcode(db_) & 0xff;
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE)
        return finding(why);
    Result r = lastFailure();
    if (!why.isEmpty())
        r.detail = why;
    return r;
}

QString Database::scalar(const QString& sql, const QStringList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.next() ? st.text(0) : QString();
}

bool Database::begin() {
    return exec(QStringLiteral("BEGIN IMMEDIATE;")).ok();
}

bool Database::commit() {
    if (exec(QStringLiteral("COMMIT;")))
        return true;
    rollback();
    return false;
}

void Database::rollback() {
    exec(QStringLiteral("ROLLBACK;"));
}

} // namespace tb
