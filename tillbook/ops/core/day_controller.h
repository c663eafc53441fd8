#pragma once

#include "cash_days.h"
#include "day_presenter.h"
#include "entry_controller.h"
#include "jobs.h"
#include "passwords.h"

#include <QObject>

namespace tb {

// The day list of the main window: choosing a day, finding or creating one through the
// calendar, deleting one, and what follows a change of the day (its lines read, the figures
// recomputed, the balance carried in). An open new entry is left first. What the window shows,
// where the focus goes and the deferred work are said through its signals.
class DayController : public QObject {
    Q_OBJECT
  public:
    DayController(DayPresenter& day, EntryController& entries, AccessGuard& guard,
                  QObject* parent = nullptr);

    // A row of the day list clicked or reached with the keys.
    void chooseRow(int row);
    // "Tag suchen oder anlegen (F3)", a click on the date or on the list's caption.
    void findOrCreate();
    // "Tag löschen".
    void deleteDay();

    // Jobs.
    void loadLines();
    void recompute();
    void afterDayCreated();

  signals:
    void jobWanted(tb::JobId id);
    // The current day changed: its date and weekday, and its row in the day list.
    void dayShown(const QString& date, const QString& weekday, int row);
    // The day list was re-read: the highlight goes back onto the current day.
    void daysReread();
    // A chosen day closes the entry panel; then the till count and the text selector follow.
    void panelCloseWanted();
    void dayChosen();
    void dayListFocusWanted();
    void gridFocusWanted();
    // The figures were recomputed; with no entry open the line grid may take the focus.
    void recomputed(bool entryOpen);

  private:
    void dayChanged();

    DayPresenter& day_;
    CashDays& days_;
    EntryController& entries_;
    AccessGuard& guard_;
};

} // namespace tb
