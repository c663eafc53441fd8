#pragma once

#include "clock.h"
#include "data_view.h"
#include "dialogs.h"
#include "money.h"
#include "passwords.h"
#include "schema.h"

#include <functional>

namespace tb {

// The cash-book days: the day list (newest first), the current day, finding or creating a day
// through the calendar, the business day that starts at 05:00, and deleting an empty day.
class CashDays {
  public:
    static QString daySource() { return QStringLiteral("Select * from Datum Order by a2 DESC;"); }

    CashDays(Database* db, Dialogs& dialogs, Clock& clock);

    DataView& view() { return view_; }
    const DataView& view() const { return view_; }

    // Re-reads the day list, newest first; the newest day becomes current.
    void refresh();

    QString currentDate() const { return view_.value(schema::Days::date); }
    qint64 currentDayId() const { return currentDayId_; }
    const QString& selectedDate() const { return selectedDate_; }

    // Runs after every change of the current day (list click, find, refresh).
    std::function<void()> onDayChanged;

    // Asked before the calendar's day replaces the current one; false keeps the current day.
    std::function<bool()> mayChangeDay;

    enum class FindOutcome { Nothing, Existing, Declined, Created, Kept };
    // The calendar, then find the picked day or, after the question, create it. On Created the
    // new day is current; the caller starts the first line on it. The current day picked again
    // stays current without being re-read.
    FindOutcome findOrCreate();

    // Makes the day with this date current, creating it when it is missing. No question.
    void selectOrCreate(const QString& date);

    // Before 05:00 the business day is the previous calendar day; it becomes current (created
    // without a question when missing). From 05:00 on nothing changes. True when it changed.
    bool ensureBusinessDay();
    // The business date for a moment in time.
    static QDate businessDate(const QDateTime& now);

    enum class DeleteOutcome { NotAllowed, OnlyDay, HasLines, Declined, Deleted };
    DeleteOutcome deleteDay(AccessGuard& guard);

    // Stores the day amount (receipts minus payments) with the current day; nothing is written
    // when it is already stored.
    void storeDayAmount(Money amount);

    // Adds a day with this date unless one exists; true when one exists afterwards.
    bool insertDay(const QString& date);

  private:
    void dayChanged();
    Database* db_;
    Dialogs& dialogs_;
    Clock& clock_;
    DataView view_;
    qint64 currentDayId_ = 0;
    QString selectedDate_;
};

} // namespace tb
