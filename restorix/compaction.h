#pragma once

#include "dialogs.h"
#include "file_copy.h"

#include <QString>

namespace tb {

// Compact and repair: the whole cash book is exported into a fresh file (which leaves out the
// free pages and rebuilds every table and index), checked, and renamed over the old file. The
// compacted file carries the built-in password, as Tillbook opens it with that.
class Compaction {
  public:
    explicit Compaction(Dialogs& dialogs) : dialogs_(dialogs) {}

    static QString tempOf(const QString& path) { return path + QStringLiteral(".temp"); }

    enum class Outcome { Done, Failed };
    // "Datenbank reparieren und komprimieren" for the file in the field. A ".temp" left by
    // an earlier attempt stops it with its message, and the file stays as it was.
    Outcome run(const QString& path);

    // The work itself, without messages.
    static FileResult compact(const QString& path);

  private:
    Dialogs& dialogs_;
};

} // namespace tb
