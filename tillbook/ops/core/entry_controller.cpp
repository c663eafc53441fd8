#include "entry_controller.h"

#include "cash_date.h"
#include "stored_counts.h"

namespace tb {

EntryController::EntryController(Database& db, Dialogs& dialogs, Clock& clock,
                                 SettingsRecord& settings, DayPresenter& day,
                                 BalanceGuard& balanceGuard, AccessGuard& guard,
                                 EntryWindow& window, QObject* parent)
    : QObject(parent), db_(db), dialogs_(dialogs), clock_(clock), settings_(settings), day_(day),
      balanceGuard_(balanceGuard), guard_(guard), window_(window), entry_(dialogs, settings),
      cancellation_(db, dialogs, clock, settings) {
    cancellation_.setBalanceGuard(&balanceGuard_);
}

bool EntryController::newEntryOpen() const {
    return window_.panelShown() && window_.panelState() == EntryState::Neuanlage;
}

bool EntryController::entryOpen() const {
    return window_.panelShown() || day_.lines().isAdding();
}

bool EntryController::leaveNewEntry() {
    if (!newEntryOpen())
        return true;
    if (window_.panelValues().typed() &&
        dialogs_.message(QStringLiteral("Der neue Eintrag ist noch nicht gespeichert. Soll er "
                                        "verworfen werden ?"),
                         QStringLiteral("Neuanlage"), Icon::Question,
                         Buttons::YesNo) != Answer::Yes) {
        emit entryKept();
        return false;
    }
    cancelEntry();
    return true;
}

void EntryController::newEntry() {
    if (!leaveNewEntry())
        return;
    CashDays& days = day_.days();
    if (!window_.serviceCode()) {
        if (days.ensureBusinessDay())
            emit daysChanged();
        emit jobWanted(JobId::NewLine);
        return;
    }
    emit jobWanted(JobId::EntryState);
    if (cashdate::toText(clock_.today()) != days.currentDate()) {
        if (dialogs_.message(QStringLiteral("Der ausgewählte Tag ist nicht heute. Möchten Sie den "
                                            "Tag ändern ?"),
                             QStringLiteral("Tag wählen"), Icon::Exclamation,
                             Buttons::YesNo) == Answer::Yes) {
            emit dayWanted();
            return;
        }
    }
    if (days.view().isEmpty()) {
        dialogs_.message(QStringLiteral("Es muss zunächst ein Tag angelegt werden"), {},
                         Icon::Information);
        emit editModeWanted();
        return;
    }
    openNewLine();
}

void EntryController::openNewLine(bool pickText) {
    day_.showDay();
    day_.lines().addNew();
    entryDay_ = day_.days().currentDate();
    emit modeWanted(EntryMode::NewLine, false);
    emit fieldFocusWanted(kTextField);
    if (pickText)
        emit bookingTextPickerWanted();
    emit fieldFocusWanted(kReceiptField);
}

void EntryController::startLineOnNewDay() {
    // The first line of a new day is an ordinary new line.
    emit lineDeletionOffered(window_.serviceCode());
    openNewLine();
}

void EntryController::openDifferenceLine(Money difference, const QString& text) {
    openNewLine(false);
    EntryValues v = window_.panelValues();
    v.field(kTextField) = text;
    v.rate = QStringLiteral("0");
    const Money amount = difference < Money() ? -difference : difference;
    // A surplus in the till is a receipt, a shortage a payment.
    v.field(difference > Money() ? kReceiptField : kPaymentField) = amount.toText();
    emit valuesWanted(v);
    emit fieldFocusWanted(kReceiptField);
}

void EntryController::bookDifference(Money difference) {
    if (!leaveNewEntry())
        return;
    if (day_.days().view().isEmpty()) {
        dialogs_.message(QStringLiteral("Es muss zunächst ein Tag angelegt werden"), {},
                         Icon::Information);
        return;
    }
    const QString text = StoredCounts::offerDifferenceText(db_);
    emit bookingPageWanted();
    openDifferenceLine(difference, text);
}

void EntryController::focusRemark() {
    emit fieldFocusWanted(kRemarkField);
}

void EntryController::takeOverBookingText(const QString& text) {
    emit textTakenOver(text, settings_.rate1());
    emit jobWanted(JobId::FocusRemark);
}

void EntryController::saveEntry() {
    const EntryValues v = window_.panelValues();
    if (!entry_.checkAndAdvance(v))
        return;
    // The save goes into the line being edited, whatever is current when the job runs: a new
    // entry into a new line on its own day, never into a saved one.
    DataView& lines = day_.lines();
    LineTarget target;
    QString dayDate = day_.days().currentDate();
    if (newEntryOpen() || lines.isAdding()) {
        if (!entryDay_.isEmpty())
            dayDate = entryDay_;
    } else {
        target.id = lines.atEnd() ? -1 : lines.id();
    }
    if (!balanceGuard_.allowsLine(target, v, dayDate, day_.floatAmount())) {
        // Back to the entry, the amount to be checked.
        emit fieldFocusWanted(kReceiptField);
        return;
    }
    // Arming an armed save does nothing: the save already waiting keeps its line.
    if (!window_.saveArmed())
        pendingSave_ = {v, target, dayDate};
    emit jobWanted(JobId::SaveLine);
    emit panelCloseWanted();
    emit jobWanted(JobId::Recompute);
}

void EntryController::saveLine() {
    const PendingSave save = std::move(pendingSave_);
    pendingSave_ = {};
    qint64 id = 0;
    if (!entry_.writeLine(db_, save.target, save.values, save.dayDate, &id))
        return;
    day_.rereadKeeping(id);
    if (window_.newModeOn())
        emit jobWanted(JobId::PressNew);
}

void EntryController::cancelEntry() {
    emit panelCloseWanted();
}

void EntryController::showCurrentLine() {
    // An open new entry keeps what was typed into it.
    DataView& lines = day_.lines();
    if (lines.isAdding() || newEntryOpen())
        return;
    EntryValues v = window_.panelValues();
    entry_.showLine(lines, v);
    emit lineShown(v, lines.recordCount(), window_.serviceCode());
}

void EntryController::entryFieldState() {
    emit modeWanted(EntryMode::AsState, window_.serviceCode());
}

void EntryController::unlockEditing() {
    emit modeWanted(EntryMode::Unlocked, false);
}

void EntryController::serviceCodeChanged() {
    const bool on = window_.serviceCode();
    emit lineDeletionOffered(on);
    if (on)
        emit jobWanted(JobId::UnlockEditing);
}

void EntryController::toggleDone() {
    if (newEntryOpen() || !BookingEntry::toggleDone(day_.lines()))
        return;
    emit doneToggled();
}

void EntryController::openCancellationPanel() {
    const DataView& lines = day_.lines();
    if (!leaveNewEntry() || lines.atEnd() || lines.isAdding())
        return;
    showCurrentLine();
    emit panelShowWanted();
    emit stateWanted(EntryState::Stornieren);
    emit jobWanted(JobId::EntryState);
}

void EntryController::cancelLine() {
    CashDays& days = day_.days();
    const Cancellation::Outcome r =
        cancellation_.cancel(day_.lines(), window_.panelValues().rate, days.currentDate());
    if (r == Cancellation::Outcome::Declined) {
        emit gridFocusWanted();
        return;
    }
    if (r != Cancellation::Outcome::Done)
        return;
    // The business day exists; the list is re-read with the newest day current.
    days.insertDay(cashdate::toText(CashDays::businessDate(clock_.now())));
    emit jobWanted(JobId::Recompute);
    emit panelDismissWanted();
    emit stateWanted(EntryState::Stornieren);
    days.refresh();
    emit daysChanged();
}

void EntryController::deleteLine() {
    const Cancellation::DeleteOutcome r = cancellation_.deleteLine(day_.lines(), guard_);
    if (r == Cancellation::DeleteOutcome::NotAllowed)
        return;
    if (r == Cancellation::DeleteOutcome::Declined) {
        emit gridFocusWanted();
        return;
    }
    day_.showDay();
    emit jobWanted(JobId::Recompute);
    emit jobWanted(JobId::CarriedIn);
    cancelEntry();
    emit gridFocusWanted();
    emit jobWanted(JobId::Recompute);
}

} // namespace tb
