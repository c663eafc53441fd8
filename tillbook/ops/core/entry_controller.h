#pragma once

#include "balance_guard.h"
#include "booking_entry.h"
#include "cancellation.h"
#include "day_presenter.h"
#include "jobs.h"
#include "passwords.h"

#include <QObject>

namespace tb {

// What the entry controller reads from the window it works in: the entry panel as it stands,
// the service code of the till-count page, the mode buttons and the save waiting to run.
class EntryWindow {
  public:
    virtual bool panelShown() const = 0;
    virtual EntryState panelState() const = 0;
    virtual EntryValues panelValues() const = 0;
    virtual bool serviceCode() const = 0;
    // "Modus Neuanlage": after a save the next new entry opens by itself.
    virtual bool newModeOn() const = 0;
    virtual bool saveArmed() const = 0;

  protected:
    ~EntryWindow() = default;
};

// Booking entry in the main window: a new entry on its day, the save that waits for its job,
// showing the current line, the service code that unlocks a line, the done mark, and the
// cancellation panel with cancelling and deleting a line. What the panel must show and where
// the focus goes it says through its signals; deferred work it asks for by job id.
class EntryController : public QObject {
    Q_OBJECT
  public:
    EntryController(Database& db, Dialogs& dialogs, Clock& clock, SettingsRecord& settings,
                    DayPresenter& day, BalanceGuard& balanceGuard, AccessGuard& guard,
                    EntryWindow& window, QObject* parent = nullptr);

    BookingEntry& rules() { return entry_; }

    // A new entry is open: the panel shows "Neuanlage". Whatever becomes current meanwhile,
    // its save writes a new line on the day it was opened on.
    bool newEntryOpen() const;
    // An entry or a cancellation is open: the panel is shown, or a line is being added.
    bool entryOpen() const;
    // Before anything that would leave an open new entry: true when none is open, nothing was
    // typed into it, or the operator agreed to drop it (it is dropped then). No leaves it open
    // and puts the focus back into it.
    bool leaveNewEntry();

    // "Eintrag  NEU  (F4)".
    void newEntry();
    // A new line on the current day; with pickText the booking-text picker opens.
    void openNewLine(bool pickText = true);
    // The first line of a day just created.
    void startLineOnNewDay();
    // A new line that books a till difference: a surplus as a receipt, a shortage as a
    // payment, with the given booking text and no VAT.
    void openDifferenceLine(Money difference, const QString& text);
    // After "Zählung speichern": a new entry on the current day that books the difference.
    void bookDifference(Money difference);
    void takeOverBookingText(const QString& text);
    // "speichern": checked now, written by the save job into the line it was meant for.
    void saveEntry();
    void saveLine();
    void cancelEntry();
    void showCurrentLine();
    void entryFieldState();
    void unlockEditing();
    void focusRemark();
    void serviceCodeChanged();
    // F9.
    void toggleDone();
    void openCancellationPanel();
    void cancelLine();
    void deleteLine();

  signals:
    void jobWanted(tb::JobId id);
    void modeWanted(tb::EntryMode mode, bool serviceCode);
    void stateWanted(tb::EntryState state);
    // The panel shows, hides ("abbrechen"), or is dismissed (its added line dropped).
    void panelShowWanted();
    void panelCloseWanted();
    void panelDismissWanted();
    void valuesWanted(const tb::EntryValues& values);
    void textTakenOver(const QString& text, const QString& rate);
    void lineShown(const tb::EntryValues& values, int lineCount, bool serviceCode);
    void lineDeletionOffered(bool on);
    void fieldFocusWanted(tb::EntryField field);
    // The operator keeps the open entry: the focus goes back where the typing was.
    void entryKept();
    void gridFocusWanted();
    void bookingTextPickerWanted();
    // The current day is not today and the operator wants another one.
    void dayWanted();
    // No day to book on: the mode goes back to "Modus Bearbeiten".
    void editModeWanted();
    // The day list was re-read.
    void daysChanged();
    void doneToggled();
    // The booking page comes to the front (the till difference is booked there).
    void bookingPageWanted();

  private:
    Database& db_;
    Dialogs& dialogs_;
    Clock& clock_;
    SettingsRecord& settings_;
    DayPresenter& day_;
    BalanceGuard& balanceGuard_;
    AccessGuard& guard_;
    EntryWindow& window_;
    BookingEntry entry_;
    Cancellation cancellation_;
    QString entryDay_; // the day the open new entry belongs to
    // What the armed save writes: the entry as it was when "speichern" was pressed.
    struct PendingSave {
        EntryValues values;
        LineTarget target;
        QString dayDate;
    } pendingSave_;
};

} // namespace tb
