#pragma once

#include "book_pages.h"
#include "cash_file.h"
#include "file_copy.h"

#include <QString>
#include <vector>

namespace tb {

class Progress;

// What a repair saved and what it lost.
struct SalvageReport {
    struct LostLines {
        IdRange ids;
        QString before, after; // the dates of the lines read next to them ("" when none)
    };
    qint64 lines = 0;
    std::vector<LostLines> linesLost;
    qint64 days = 0;
    qint64 daysMade = 0; // made anew from the dates of the lines
    bool daysLost = false;
    bool settingsKept = false;
    QString nextReceipt; // the receipt number set when the settings were lost
    qint64 texts = 0;
    qint64 textsAdded = 0; // taken over from the lines
    bool textsLost = false;
    int damagedPages = 0;
    QString keptAs;               // where the damaged file is kept
    qint64 logEntries = 0;        // entries of the change log taken over
    std::vector<IdRange> logLost; // numbers of the entries that could not be read
    bool logBegun = false;        // the damaged file had no change log yet
    // The rows the new file must hold (what verification compares).
    cashfile::RowCounts written;

    // The report in German, for the file at path whose new size is size.
    QString text(const QString& path, qint64 size) const;
};

// The repair of a damaged cash book. Every page that can be read is read on its own
// (BookPages, with the built-in password, then without one), every row of the four tables is
// taken from it, and what was read is written into a new file with the program's schema, its
// indexes and one settings row: days whose record is lost are made anew from the dates of
// their lines, lost booking texts are taken over from the lines, a lost settings row is
// replaced by the defaults of a new book, and every running balance is recomputed from the
// lines saved. The new file carries the built-in password. Nothing beside it is touched.
class Salvage {
  public:
    enum class Outcome { Written, Unreadable, Failed };
    // Writes the new file at target (which must not exist). Unreadable: not a single page
    // could be read, or the file is no cash book; why tells the failure.
    static Outcome rebuild(const QString& path, const QString& target, SalvageReport& report,
                           Progress& progress, Result* why);
};

} // namespace tb
