#pragma once

#include "database.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

namespace tb {

// The lines of a period, read from the file one row at a time in line order (date, then ID),
// for the exports: a walk over a whole book holds one line, not the book. The period is the
// query frame's: a line belongs to it when the date key of its date text (read by position, as
// the listings compare it) lies between the keys of the bounds.
class PeriodLines {
  public:
    // One date of the period that has lines.
    struct Date {
        QString text; // as stored in a10
        QDate date;   // invalid for a text that is no date
        qint64 lines = 0;
    };

    PeriodLines(Database& db, const QString& start, const QString& end);

    // Reads which dates of the period have lines, in order; the failure when the file could
    // not be read.
    Result read();
    const std::vector<Date>& dates() const { return dates_; }
    qint64 lineCount() const { return lines_; }

    // Calls row for every line of the dates [first, last) in line order, with the columns
    // asked for ("n1, a4, ..."), in that order. Stops when row returns false or when the file
    // could not be read.
    using Row = std::function<bool(const Date& date, const Statement& line)>;
    struct Walk {
        enum End {
            Done,    // every line was given to row
            Stopped, // row returned false
            Failed,  // the file could not be read; failure says why
        } end = Done;
        Result failure;
    };
    Walk walk(const QString& columns, size_t first, size_t last, const Row& row);

  private:
    Database& db_;
    int startKey_;
    int endKey_;
    std::vector<Date> dates_;
    qint64 lines_ = 0;
};

} // namespace tb
