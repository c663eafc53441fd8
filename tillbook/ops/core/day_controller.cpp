#include "day_controller.h"

#include "cash_date.h"

namespace tb {

DayController::DayController(DayPresenter& day, EntryController& entries, AccessGuard& guard,
                             QObject* parent)
    : QObject(parent), day_(day), days_(day.days()), entries_(entries), guard_(guard) {
    days_.onDayChanged = [this] { dayChanged(); };
    days_.mayChangeDay = [this] { return entries_.leaveNewEntry(); };
}

void DayController::dayChanged() {
    const QString date = days_.currentDate();
    const QDate d = cashdate::fromText(date);
    emit dayShown(date, d.isValid() ? cashdate::weekdayShort(d) : QString(),
                  days_.view().position());
    emit jobWanted(JobId::LoadLines);
}

void DayController::chooseRow(int row) {
    if (!entries_.leaveNewEntry()) {
        emit daysReread(); // the highlight back on the day the entry belongs to
        return;
    }
    days_.view().moveTo(row);
    emit jobWanted(JobId::LoadLines);
    emit panelCloseWanted();
    emit jobWanted(JobId::Recompute);
    day_.listings().dayChosen();
    emit dayChosen();
    emit jobWanted(JobId::CarriedIn);
}

void DayController::findOrCreate() {
    const CashDays::FindOutcome r = days_.findOrCreate();
    emit daysReread();
    switch (r) {
    case CashDays::FindOutcome::Declined:
        emit dayListFocusWanted();
        break;
    case CashDays::FindOutcome::Created:
        emit gridFocusWanted();
        emit jobWanted(JobId::AfterDayCreated);
        break;
    default:
        break;
    }
}

void DayController::afterDayCreated() {
    // The day just created stays current (the list is re-read in its newest-first order).
    const qint64 id = days_.currentDayId();
    days_.refresh();
    days_.view().findId(id);
    emit daysReread();
    emit jobWanted(JobId::StartLineOnNewDay);
}

void DayController::deleteDay() {
    if (!entries_.leaveNewEntry())
        return;
    const CashDays::DeleteOutcome r = days_.deleteDay(guard_);
    emit daysReread();
    if (r == CashDays::DeleteOutcome::Deleted || r == CashDays::DeleteOutcome::Declined)
        emit dayListFocusWanted();
    if (r == CashDays::DeleteOutcome::Deleted)
        dayChanged();
}

void DayController::loadLines() {
    day_.showDay();
    emit jobWanted(JobId::Recompute);
    // The balance carried into this day follows every change of the day.
    emit jobWanted(JobId::CarriedIn);
}

void DayController::recompute() {
    // While an entry or a cancellation is open, its line stays where the operator put it.
    const bool entryOpen = entries_.entryOpen();
    day_.recompute(entryOpen);
    emit recomputed(entryOpen);
    emit jobWanted(JobId::TillDifference);
}

} // namespace tb
