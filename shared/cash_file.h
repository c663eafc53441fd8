#pragma once

#include "database.h"
#include "file_copy.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLockFile;

namespace tb::cashfile {

// The built-in password the data file carries whenever no program works on it.
QByteArray builtInPassword();

// The keys a file of ours is tried with, in turn: the built-in password (every file at rest),
// then none (a file a crashed run left open).
std::array<QByteArray, 2> keysInTurn();

// Opens the file with the first key of keysInTurn() under which it opens and accept (when given)
// holds; *usedKey tells which. nullptr when none fits, with the last failure in *error.
std::unique_ptr<Database> openWithEitherKey(const QString& path,
                                            const std::function<bool(Database&)>& accept = {},
                                            QByteArray* usedKey = nullptr,
                                            Result* failure = nullptr);

enum class State { Protected, Plain, NotACashBook, Missing };

// Looks at a file without changing it: whether it opens with the built-in password, without
// one, or not at all (another program's file, a broken file, a wrong password).
State probe(const QString& path);

// Rewrites the file under the new key (empty = no password). The file is exported into a
// temporary file beside it, flushed to disk and renamed over the original, so at every moment
// the file under its own name opens with either the old or the new key.
Result changePassword(const QString& path, const QByteArray& oldKey, const QByteArray& newKey);

// At start: the password comes off for the run. A file that has none stays as it is.
Result removePassword(const QString& path);
// At the end: the password goes back on. A file that has it already stays as it is.
Result putPasswordBack(const QString& path);

// Creates a new, empty cash book with its folder, the four tables, one settings record with
// sensible defaults and one booking text, and its change log (unless withLog is false: the
// repair brings the log of the damaged file). The file is created without password (it is
// being opened for a run) unless a key is given, and fails when the file exists.
Result createEmpty(const QString& path, const QByteArray& key = {}, bool withLog = true);

// Brings a cash book of an older version up to date (the indexes of the listings, the tables of
// the tax advisor's accounts, the change log, the kept till counts), all in one transaction; a
// file that has them stays as it is.
Result upgrade(Database& db);

// The tables of a cash book, for a file that lacks one of them.
bool hasCashBookTables(Database& db);

// The rows of the tables of a cash book (Datum, Buchungen, Einstellungen, Buchungstext and the
// change log Protokoll, 0 in a book from before the log).
struct RowCounts {
    std::array<qint64, 5> rows{};
    bool operator==(const RowCounts&) const = default;
};
std::optional<RowCounts> countRows(Database& db);

// Checks that a file is a whole cash book under the key: it opens, the engine's integrity check
// says "ok", the tables are there, and (when given) their row counts are these. The failure
// names what is wrong, in German.
Result verifyBook(const QString& path, const QByteArray& key,
                  const std::optional<RowCounts>& expected = std::nullopt);

// Checks quickly that a file copied byte for byte (and read back) is a cash book under the key:
// the key fits, the tables are there, and the file holds every page its header counts. It reads
// a few pages; verifyBook reads every page, which costs as much as the copy itself.
Result checkOpens(const QString& path, const QByteArray& key);

// Puts the built-in password on the file (the password step of every backup copy): a file
// that has it already stays as it is. The failure tells the kind of error.
Result protect(const QString& path);

// The temporary files a whole-file rewrite of ours leaves beside the data file when it is
// interrupted: the rewrite under a new key with its journal, a copy being written by a
// restore, the compacted file, the kept copy of a restore being made.
QStringList temporaryFilesOf(const QString& path);

// Removes what an interrupted rewrite left beside the data file; only our own files, by their
// exact names. Call only while holding the lock and after the data file itself opened.
void removeTemporaryFiles(const QString& path);

// After a crash in the middle of a rewrite, when the data file itself does not open: the
// temporary file that holds the whole rewritten cash book (it opens and passes the integrity
// check), or an empty text.
QString completeRewriteOf(const QString& path);

// The one lock that says a program is working on the data file. Held by Tillbook for the whole
// run and by Restorix for a restore or a compaction. A lock that names no live process of ours
// on this machine (a crash, a power cut, a lock file that cannot be read) is stale and taken
// over.
class FileLock {
  public:
    explicit FileLock(const QString& dataPath);
    ~FileLock();

    struct Outcome {
        enum Kind { Acquired, Held, CannotRemove, CannotCreate } kind = CannotCreate;
        bool tookOverStale = false; // a lock of a run that did not end was found and replaced
        QString holder;             // who holds it: "PID 1234 auf host"
        QString detail;             // why a stale lock could not be removed or none be made
        bool ok() const { return kind == Acquired; }
    };
    Outcome acquire();
    bool tryLock() { return acquire().ok(); }
    // acquire() for work that cannot wait: nothing when the lock is taken, otherwise EBUSY
    // with openPhrase (its %1 the holder) appended to the detail, or why no lock could be made.
    Result
    acquireOrBusy(const QString& openPhrase = QStringLiteral(" Das Kassenbuch ist geöffnet (%1)."));
    void unlock();
    // Who holds it, for the message: "PID 1234 auf host".
    QString holder() const;
    const QString& lockPath() const { return path_; }
    static QString lockPathFor(const QString& dataPath);

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace tb::cashfile
