#pragma once

#include "cash_days.h"
#include "clock.h"
#include "data_view.h"
#include "day_view.h"
#include "dialogs.h"
#include "listings.h"
#include "money.h"
#include "running_balance.h"
#include "settings_record.h"

#include <QObject>

namespace tb {

// What the main window shows of the cash book: the days, the current day and its lines (or
// the lines of a listing), the column totals, the day amount, the running balance and the
// balance carried in ("Vortag"). It decides what is written and re-read when the figures are
// recomputed and says what changed through its signals; the window puts it on the screen.
class DayPresenter : public QObject {
    Q_OBJECT
  public:
    DayPresenter(Database& db, Dialogs& dialogs, Clock& clock, SettingsRecord& settings,
                 QObject* parent = nullptr);

    CashDays& days() { return days_; }
    DataView& lines() { return lines_; }
    const DataView& lines() const { return lines_; }
    Listings& listings() { return listings_; }
    const Listings& listings() const { return listings_; }
    RunningBalance& runningBalance() { return runningBalance_; }
    const DayTotals& totals() const { return totals_; }
    Money carriedIn() const { return carried_; }
    // The float of the settings: part of every balance.
    Money floatAmount() const;

    // The line view holds the lines of the current day: no listing, no correction. (The
    // listing kind is no answer: it says what was last asked for, and a click in the day list
    // sets it before the day's lines are read.)
    bool showsTheDay() const { return dayListed_; }

    // Points the line view at the lines of the current day.
    void showDay();
    // "alle Positionen anzeigen", a chosen booking text, the data correction: the line view
    // holds their lines.
    Listings::Outcome listPeriod();
    Listings::Outcome listText(const QString& text);
    void correctData();
    // Removed or changed lines took their amounts with them: every balance is computed anew.
    void invalidateBalances() { runningBalance_.invalidate(); }

    // The column totals, the day amount (stored with the day while the grid lists the day)
    // and the running balance. While an entry is open its line stays current; otherwise the
    // first line becomes current.
    void recompute(bool entryOpen);
    // The balance carried into what the grid lists: the listed lines', or for a day without
    // lines what all earlier lines and the float leave for it. An empty listing leaves the
    // figure as it was.
    void updateCarriedIn();
    // Re-reads the line view with the line of this ID current; not while a line is added.
    void rereadKeeping(qint64 id);

    // What the grid lists now, for the printout and the export.
    ListingState currentListing() const;

  signals:
    // The line view was re-read: the grid shows its rows anew.
    void linesReread();
    void totalsChanged(const tb::DayTotals& totals);
    void balanceChanged(tb::Money balance);
    void carriedInChanged(tb::Money carriedIn);

  private:
    Database& db_;
    Dialogs& dialogs_;
    SettingsRecord& settings_;
    CashDays days_;
    DataView lines_;
    Listings listings_;
    RunningBalance runningBalance_;
    DayTotals totals_;
    Money carried_;
    bool dayListed_ = true;
};

} // namespace tb
