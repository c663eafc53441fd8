#pragma once

#include "file_copy.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tb {

class Database;

// The major version of the SQLCipher library the program runs on (3 or 4), and its whole
// version text. Every keyed file is written in the 3.x format whichever runs.
int cipherMajorVersion();
QString cipherVersion();

// The first bytes of a file (fewer when it is shorter, none when it cannot be read), read
// through the engine's own file layer: closing a descriptor of our own would drop every lock a
// connection of this process holds on the file.
QByteArray fileStart(const QString& path, int bytes);

// One prepared SQL statement. Values are always bound, never spliced into the text.
class Statement {
  public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool isValid() const { return stmt_ != nullptr; }
    void bind(int index, const QString& value); // 1-based
    void bind(int index, qint64 value);
    void bindUtf8(int index, std::string_view value);
    void bindNull(int index);
    void bindBlob(int index, const QByteArray& value);
    void bindAll(const QStringList& values);
    // Texts as texts, whole numbers as numbers, anything else as its text.
    void bindValues(const QVariantList& values);

    // Steps once: true while a row is there. Errors end the walk; error() tells.
    bool next();
    // Runs a statement that returns no rows; false on error.
    bool run();
    void reset();

    int columnCount() const;
    QString columnName(int i) const;
    QString text(int i) const; // NULL reads as ""
    // The value's UTF-8 bytes without a copy; valid until the next step.
    std::string_view utf8(int i) const;
    qint64 integer(int i) const;
    // The value's bytes as stored (a text's UTF-8, a blob's bytes).
    QByteArray blob(int i) const;
    bool isNull(int i) const;
    // The kind as stored: ask before utf8()/text(), which turn bytes into text.
    bool isText(int i) const;
    bool isInteger(int i) const;

    QString error() const { return germanText(failure_); }
    const Result& failure() const { return failure_; }

  private:
    friend class Database;
    Statement(sqlite3_stmt* stmt, sqlite3* db, Result failure);
    sqlite3_stmt* stmt_ = nullptr;
    sqlite3* db_ = nullptr;
    Result failure_;
};

// A connection to a data file through SQLCipher, with the cash book's SQL functions registered.
class Database {
  public:
    enum class Mode { ReadWrite, Create };

    // Opens the file with the key (empty = a file without password) and checks that the key
    // fits by reading the schema. nullptr with *failure set when the file cannot be used.
    static std::unique_ptr<Database> open(const QString& path, const QByteArray& key,
                                          Result* failure = nullptr, Mode mode = Mode::ReadWrite);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }
    const QString& path() const { return path_; }

    Result exec(const QString& sql);
    Statement prepare(const QString& sql);
    qint64 lastInsertId() const;
    int changes() const;
    // Rows inserted, changed or deleted through this connection since it opened.
    qint64 totalChanges() const;
    // Changes when another connection has committed to the file since the last call.
    qint64 dataVersion();
    // Told of every row this connection inserts, changes or deletes (table and rowid); not of
    // rows a DELETE without WHERE empties a table of, which totalChanges() still counts.
    using RowHook = std::function<void(std::string_view table, qint64 rowid)>;
    // One watcher of the rows: told until it goes. Any number may watch at once.
    class RowWatch {
      public:
        RowWatch() = default;
        RowWatch(RowWatch&& other) noexcept
            : db_(std::exchange(other.db_, nullptr)), id_(other.id_) {}
        RowWatch& operator=(RowWatch&& other) noexcept;
        RowWatch(const RowWatch&) = delete;
        RowWatch& operator=(const RowWatch&) = delete;
        ~RowWatch();

      private:
        friend class Database;
        RowWatch(Database* db, int id) : db_(db), id_(id) {}
        Database* db_ = nullptr;
        int id_ = 0;
    };
    [[nodiscard]] RowWatch watchRows(RowHook hook);
    QString lastError() const;
    Result lastFailure() const;
    // A failure of work done through this connection that was told as text (why): its kind
    // and code from the engine's last error, its text why; a finding of ours when the engine
    // reports none.
    Result failureTold(const QString& why) const;

    // Reads one value of the first row, "" when there is none.
    QString scalar(const QString& sql, const QStringList& params = {});

    bool begin();
    bool commit();
    void rollback();

  private:
    Database(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    void unwatch(int id);
    sqlite3* db_;
    QString path_;
    std::vector<std::pair<int, RowHook>> rowHooks_;
    int lastWatch_ = 0;
};

// A transaction that rolls back unless committed.
class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db), active_(db.begin()) {}
    ~Transaction() {
        if (active_)
            db_.rollback();
    }
    bool commit() {
        if (!active_)
            return false;
        active_ = false;
        return db_.commit();
    }
    bool isActive() const { return active_; }

  private:
    Database& db_;
    bool active_;
};

} // namespace tb
