#pragma once

#include "data_view.h"
#include "dialogs.h"

#include <vector>

namespace tb {

// The repair of the bookings table: lines without a booking date are removed, every date key
// (a11) is built anew from the date by position, empty balances become "0". One transaction:
// all of it or nothing. Afterwards the grid's view shows every line in storage order.
//
// A line without a date that carries an amount is money in the book: it is removed only when
// the operator, shown the line, said so.
class DataCorrection {
  public:
    struct Report {
        Result failure = finding({}); // why nothing was changed; none once it is stored
        bool ok() const { return failure.ok(); }
        int removed = 0; // lines without a date
        int kept = 0;    // lines without a date kept for their amounts
        int rebuilt = 0; // date keys that changed
        int filled = 0;  // empty balances set to "0"
    };
    // Lines without a date are removed; those with an amount only with removeAmounts.
    static Report correct(Database& db, bool removeAmounts = false);
    // The lines without a date that carry an amount, one per line as the operator is shown
    // them: receipt number, booking text, amount.
    static QStringList undatedWithAmounts(Database& db);
    // The menu entry "Datenkorrektur" and the failed period listing: the question about lines
    // with amounts, the correction, the grid on all lines, and "Daten korrigiert" with what
    // was done.
    static Report run(DataView& grid, Dialogs& dialogs);
};

} // namespace tb
