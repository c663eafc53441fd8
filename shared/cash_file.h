#pragma once

#include "database.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QLockFile;

namespace tb::cashfile {

// The built-in password the data file carries whenever no program works on it.
QByteArray builtInPassword();

enum class State { Protected, Plain, NotACashBook, Missing };

// Looks at a file without changing it: whether it opens with the built-in password, without
// one, or not at all (another program's file, a broken file, a wrong password).
State probe(const QString& path);

// Rewrites the file under the new key (empty = no password). The file is exported into a
// temporary file beside it, flushed to disk and renamed over the original, so at every moment
// the file under its own name opens with either the old or the new key.
bool changePassword(const QString& path, const QByteArray& oldKey, const QByteArray& newKey,
                    QString* error = nullptr);

// At start: the password comes off for the run. A file that has none stays as it is.
bool removePassword(const QString& path, QString* error = nullptr);
// At the end: the password goes back on. A file that has it already stays as it is.
bool putPasswordBack(const QString& path, QString* error = nullptr);

// Creates a new, empty cash book with its folder, the four tables, one settings record with
// sensible defaults and one booking text. The file is created without password (it is being
// opened for a run) and fails when the file exists.
bool createEmpty(const QString& path, QString* error = nullptr);

// The tables of a cash book, for a file that lacks one of them.
bool hasCashBookTables(Database& db);

// The one lock that says a program is working on the data file. Held by Tillbook for the whole
// run and by every exclusive use; a lock left behind by a crashed process is taken over.
class FileLock {
  public:
    explicit FileLock(const QString& dataPath);
    ~FileLock();
    bool tryLock();
    void unlock();
    // Who holds it, for the message: "PID 1234 auf host".
    QString holder() const;
    static QString lockPathFor(const QString& dataPath);

  private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace tb::cashfile
