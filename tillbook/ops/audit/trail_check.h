#pragma once

#include "database.h"
#include "progress.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tb {

// The check of the change log ("Prüfen"):
// - the chain: every entry's Pruefsumme fits the entry and the one before it, the numbers
//   run without a gap, and none is missing at the end; the first entry that does not fit is
//   named (an entry changed by one byte, an entry deleted, two entries swapped);
// - the book against the log: from the log's last starting point (its beginning or a
//   repair) every line, day and settings row must hold what the log says, and the book as
//   it was at that point must have the state the starting point recorded. A change made
//   outside the program (with the triggers dropped) shows here.
struct LogCheck {
    enum class Fault {
        EntryAltered,   // an entry does not fit its Pruefsumme (changed, or swapped)
        EntriesMissing, // numbers from..to are missing
        EndMissing,     // entries after the last one were removed
        NotReadable,    // the log cannot be read
        RowDiffers,     // a row holds something else than the log says
        RowMissing,     // a row the log has is not in the book
        RowNotLogged,   // a row is in the book that the log does not have
        StartDiffers,   // the book at the starting point differs from what it recorded
    };
    struct Finding {
        Fault fault;
        qint64 entry = 0; // the entry named (for missing entries: from)
        qint64 to = 0;    // missing entries: to
        QString text;     // the German sentence
    };

    bool hasLog = true;
    qint64 entries = 0;
    QByteArray lastHash;
    qint64 startEntry = 0;              // the starting point the book was checked from
    std::vector<Finding> chain;         // faults of the chain, in the order of the log
    std::vector<Finding> book;          // rows that do not match the log
    qint64 moreChain = 0, moreBook = 0; // faults found beyond those listed
    bool stopped = false;               // "Abbrechen": the check is not complete

    bool whole() const { return hasLog && !stopped && chain.empty() && book.empty(); }
    // "Protokoll unversehrt: 1 234 Einträge, letzte Prüfsumme 3f9a…", or what is wrong.
    QString text() const;

    static LogCheck run(Database& db, Progress& progress);
    static LogCheck run(Database& db) {
        NoProgress none;
        return run(db, none);
    }
    // The findings listed at most (then "und N weitere").
    static constexpr size_t kListed = 50;
};

} // namespace tb
