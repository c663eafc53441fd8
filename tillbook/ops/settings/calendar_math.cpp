#include "calendar_math.h"

namespace tb::calendar {

int firstWeekday(const QDate& d) {
    const QDate first(d.year(), d.month(), 1);
    return first.dayOfWeek() % 7 + 1; // Qt: Monday = 1 ... Sunday = 7
}

Cell cellOf(const QDate& date) {
    const int h = date.day() + firstWeekday(date) - 2;
    return {h % 7, h / 7};
}

int dayAt(const QDate& month, int x, int y, int cellWidth, int cellHeight) {
    if (cellWidth <= 0 || cellHeight <= 0 || x < 0 || y < 0)
        return 0;
    const int column = x / cellWidth + 1;
    const int row = y / cellHeight;
    const int day = column + 7 * row - (firstWeekday(month) - 1);
    return day >= 1 && day <= month.daysInMonth() ? day : 0;
}

int rowsNeeded(const QDate& month) {
    return cellOf(QDate(month.year(), month.month(), month.daysInMonth())).row + 1;
}

QDate addMonths(const QDate& date, int months) {
    return date.addMonths(months); // Qt cuts back to the last day of a shorter month
}

} // namespace tb::calendar
