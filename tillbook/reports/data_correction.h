#pragma once

#include "data_view.h"
#include "dialogs.h"

namespace tb {

// The repair of the bookings table: lines without a booking date are removed, every date key
// (a11) is built anew from the date by position, empty balances become "0". One transaction:
// all of it or nothing. Afterwards the grid's view shows every line in storage order.
class DataCorrection {
  public:
    struct Result {
        bool ok = false;
        int removed = 0; // lines without a date
        int rebuilt = 0; // date keys that changed
        int filled = 0;  // empty balances set to "0"
    };
    static Result correct(Database& db);
    // The menu entry "Datenkorrektur" and the failed period listing: the correction, the grid
    // on all lines, and "Daten korrigiert" with what was done.
    static Result run(DataView& grid, Dialogs& dialogs);
};

} // namespace tb
