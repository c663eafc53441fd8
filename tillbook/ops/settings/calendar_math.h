#pragma once

#include <QDate>
#include <QPoint>

namespace tb::calendar {

// Weekday of the month's first day, Sunday = 1 ... Saturday = 7.
int firstWeekday(const QDate& anyDayOfMonth);

// The grid cell of day d of the month: column 0 is Sunday, rows from 0.
struct Cell {
    int column;
    int row;
};
Cell cellOf(const QDate& date);

// The day number under a point of the grid (cell sizes in pixels), or 0 for an empty cell.
int dayAt(const QDate& month, int x, int y, int cellWidth, int cellHeight);

// Rows the month needs (4 to 6).
int rowsNeeded(const QDate& month);

// Month steps keep the day number, cut back to the last day of a shorter month.
QDate addMonths(const QDate& date, int months);

} // namespace tb::calendar
