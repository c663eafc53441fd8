#include "haupt.h"

#include "cash_date.h"
#include "day_view.h"
#include "line_page.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

// The main window's wiring of the entry panel: new entries, saving, showing a line, the service
// code, the done mark, and the cancellation panel with line deletion.
namespace tb {

using State = EntryPanel::State;

void Haupt::hidePanel() {
    panel_->dismiss();
}

bool Haupt::newEntryOpen() const {
    return !panel_->isHidden() && panel_->state() == State::Neuanlage;
}

bool Haupt::leaveNewEntry() {
    if (!newEntryOpen())
        return true;
    if (panel_->values().typed()) {
        // The field last typed into, also when a calendar came up in between.
        QWidget* back = panel_->focusWidget();
        if (dialogs_.message(QStringLiteral("Der neue Eintrag ist noch nicht gespeichert. Soll er "
                                            "verworfen werden ?"),
                             QStringLiteral("Neuanlage"), Icon::Question,
                             Buttons::YesNo) != Answer::Yes) {
            // Back where the operator was typing; the field's rules already ran when it was
            // left, so coming back is no new entering of it.
            if (!QApplication::activeModalWidget()) {
                if (back && panel_->isAncestorOf(back) && back->isEnabled())
                    back->setFocus(Qt::ActiveWindowFocusReason);
                else
                    panel_->focusField(kRemarkField);
            }
            return false;
        }
    }
    cancelEntry();
    return true;
}

void Haupt::newEntry() {
    if (!leaveNewEntry())
        return;
    if (!serviceCode()) {
        if (days_.ensureBusinessDay())
            reloadDays();
        arm(JobId::NewLine);
        return;
    }
    arm(JobId::EntryState);
    if (cashdate::toText(s_.clock->today()) != days_.currentDate()) {
        if (dialogs_.message(QStringLiteral("Der ausgewählte Tag ist nicht heute. Möchten Sie den "
                                            "Tag ändern ?"),
                             QStringLiteral("Tag wählen"), Icon::Exclamation,
                             Buttons::YesNo) == Answer::Yes) {
            findOrCreateDay();
            return;
        }
    }
    if (days_.view().isEmpty()) {
        dialogs_.message(QStringLiteral("Es muss zunächst ein Tag angelegt werden"), {},
                         Icon::Information);
        optEdit_->setChecked(true);
        return;
    }
    openNewLine();
}

void Haupt::openNewLine(bool pickText) {
    day_.showDay();
    lines_.addNew();
    entryDay_ = days_.currentDate();
    panel_->setMode(EntryPanel::Mode::NewLine);
    panel_->focusField(kTextField);
    if (pickText)
        openBookingTextPicker(false);
    panel_->focusField(kReceiptField);
}

void Haupt::focusRemark() {
    panel_->focusField(kRemarkField);
}

void Haupt::takeOverBookingText(const QString& text) {
    panel_->takeOverText(text, settings_.rate1());
    arm(JobId::FocusRemark);
}

void Haupt::saveEntry() {
    const EntryValues v = panel_->values();
    if (!entry_.checkAndAdvance(v))
        return;
    // The save goes into the line being edited, whatever is current when the job runs: a new
    // entry into a new line on its own day, never into a saved one.
    LineTarget target;
    QString dayDate = days_.currentDate();
    if (newEntryOpen() || lines_.isAdding()) {
        if (!entryDay_.isEmpty())
            dayDate = entryDay_;
    } else {
        target.id = lines_.atEnd() ? -1 : lines_.id();
    }
    if (!balanceGuard_.allowsLine(target, v, dayDate, day_.floatAmount())) {
        // Back to the entry, the amount to be checked.
        panel_->focusField(kReceiptField);
        return;
    }
    // Arming an armed save does nothing: the save already waiting keeps its line.
    if (!s_.scheduler->isArmed(jobName(JobId::SaveLine)))
        pendingSave_ = {v, target, dayDate};
    arm(JobId::SaveLine);
    panel_->close();
    arm(JobId::Recompute);
}

void Haupt::saveLine() {
    const PendingSave save = std::move(pendingSave_);
    pendingSave_ = {};
    qint64 id = 0;
    if (!entry_.writeLine(*s_.db, save.target, save.values, save.dayDate, &id))
        return;
    day_.rereadKeeping(id);
    if (optNew_->isChecked())
        arm(JobId::PressNew);
}

void Haupt::cancelEntry() {
    panel_->close();
}

void Haupt::showCurrentLine() {
    // An open new entry keeps what was typed into it.
    if (lines_.isAdding() || newEntryOpen())
        return;
    EntryValues v = panel_->values();
    entry_.showLine(lines_, v);
    panel_->showLine(v, lines_.recordCount(), serviceCode());
    linePage_->showCurrent();
}

void Haupt::entryFieldState() {
    panel_->setMode(EntryPanel::Mode::AsState, serviceCode());
}

void Haupt::unlockEditing() {
    panel_->setMode(EntryPanel::Mode::Unlocked);
}

void Haupt::serviceCodeChanged() {
    panel_->offerLineDeletion(serviceCode());
    if (serviceCode())
        arm(JobId::UnlockEditing);
}

void Haupt::toggleDone() {
    if (newEntryOpen() || !BookingEntry::toggleDone(lines_))
        return;
    linePage_->reload();
    fillBookingTextSelector();
}

// ---------------------------------------------------------------- cancellation

void Haupt::openCancellationPanel() {
    if (!leaveNewEntry() || lines_.atEnd() || lines_.isAdding())
        return;
    showCurrentLine();
    panel_->show();
    panel_->setState(State::Stornieren);
    arm(JobId::EntryState);
}

void Haupt::cancelLine() {
    const Cancellation::Outcome r =
        cancellation_.cancel(lines_, panel_->values().rate, days_.currentDate());
    if (r == Cancellation::Outcome::Declined) {
        lineGrid()->setFocus();
        return;
    }
    if (r != Cancellation::Outcome::Done)
        return;
    // The business day exists; the list is re-read with the newest day current.
    days_.insertDay(cashdate::toText(CashDays::businessDate(s_.clock->now())));
    arm(JobId::Recompute);
    hidePanel();
    panel_->setState(State::Stornieren);
    days_.refresh();
    reloadDays();
}

void Haupt::deleteLine() {
    const Cancellation::DeleteOutcome r = cancellation_.deleteLine(lines_, guard_);
    if (r == Cancellation::DeleteOutcome::NotAllowed)
        return;
    if (r == Cancellation::DeleteOutcome::Declined) {
        lineGrid()->setFocus();
        return;
    }
    loadDayLines();
    cancelEntry();
    lineGrid()->setFocus();
    arm(JobId::Recompute);
}

} // namespace tb
