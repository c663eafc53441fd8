#include "day_presenter.h"

#include "data_correction.h"
#include "schema.h"

namespace tb {

DayPresenter::DayPresenter(Database& db, Dialogs& dialogs, Clock& clock, SettingsRecord& settings,
                           QObject* parent)
    : QObject(parent), db_(db), dialogs_(dialogs), settings_(settings), days_(&db, dialogs, clock),
      lines_(&db, schema::Lines::table, dayLinesSource(), {QString()}), runningBalance_(db) {}

Money DayPresenter::floatAmount() const {
    return Money::parseOrZero(settings_.floatText());
}

void DayPresenter::showDay() {
    lines_.setSource(dayLinesSource(), {days_.currentDate()});
    lines_.refresh();
    listings_.dayShown();
    dayListed_ = true;
    emit linesReread();
}

Listings::Outcome DayPresenter::listPeriod() {
    dayListed_ = false;
    const Listings::Outcome r = listings_.listPeriod(lines_, dialogs_);
    emit linesReread();
    return r;
}

Listings::Outcome DayPresenter::listText(const QString& text) {
    const Listings::Outcome r = listings_.listText(lines_, text, dialogs_);
    if (r == Listings::Outcome::Listed) {
        dayListed_ = false;
        emit linesReread();
    }
    return r;
}

void DayPresenter::correctData() {
    dayListed_ = false;
    DataCorrection::run(lines_, dialogs_);
    emit linesReread();
}

void DayPresenter::recompute(bool entryOpen) {
    totals_ = computeDayTotals(lines_);
    if (!entryOpen && !lines_.isEmpty())
        lines_.moveFirst();
    emit totalsChanged(totals_);
    // The day amount is the day's: a listing of a period or a text is not stored with the day.
    if (showsTheDay())
        days_.storeDayAmount(totals_.dayAmount());

    const BalanceResult b = runningBalance_.recompute(floatAmount());
    emit balanceChanged(b.balance);
    // The stored balances of the listed lines changed: re-read them, the current line kept.
    if (b.written > 0)
        rereadKeeping(lines_.id());
}

void DayPresenter::updateCarriedIn() {
    const Money floatAmount = this->floatAmount();
    std::optional<Money> carry = Listings::carriedIn(lines_, db_, floatAmount);
    if (!carry && showsTheDay()) {
        const QString day = days_.currentDate();
        // The remembered balance only while it was computed with the float of now.
        carry = runningBalance_.carriedInto(day);
        if (!carry || runningBalance_.floatAmount() != floatAmount)
            carry = balanceCarriedInto(db_, day, floatAmount);
    }
    if (!carry)
        return;
    carried_ = *carry;
    emit carriedInChanged(carried_);
}

void DayPresenter::rereadKeeping(qint64 id) {
    if (lines_.isAdding())
        return;
    lines_.refresh();
    lines_.findId(id);
    emit linesReread();
}

ListingState DayPresenter::currentListing() const {
    return listings_.state(days_.currentDate(), carried_, totals_);
}

} // namespace tb
