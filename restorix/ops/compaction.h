#pragma once

#include "dialogs.h"
#include "file_copy.h"
#include "progress.h"
#include "salvage.h"

#include <QString>
#include <optional>

namespace tb {

// Compact and repair: the whole cash book is exported into a fresh file (which leaves out the
// free pages and rebuilds every table and index), checked, and renamed over the old file. A
// damaged file, which the export cannot read, is repaired instead (Salvage): what can be read
// goes into the fresh file, and the damaged file is kept beside it. The new file carries the
// built-in password, as Tillbook opens it with that.
class Compaction {
  public:
    explicit Compaction(Dialogs& dialogs) : dialogs_(dialogs) {}

    static QString tempOf(const QString& path) { return path + QStringLiteral(".temp"); }

    struct Report {
        Result file;
        std::optional<SalvageReport> salvage; // when the file had to be repaired
        bool unreadable = false;              // damaged beyond reading: nothing was written
    };

    enum class Outcome { Done, Failed };
    // "Datenbank reparieren und komprimieren" for the file in the field. A ".temp" left by
    // an earlier attempt stops it with its message, and the file stays as it was.
    Outcome run(const QString& path);

    // The work itself, without messages.
    static Report compact(const QString& path, Progress& progress);
    static Report compact(const QString& path) {
        NoProgress none;
        return compact(path, none);
    }

    // How the work runs: at once, or as the window shows it (busy cursor, progress).
    WorkRunner<Report> runner = runAtOnce<Report>;

  private:
    Dialogs& dialogs_;
};

} // namespace tb
