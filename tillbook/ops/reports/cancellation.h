#pragma once

#include "balance_guard.h"
#include "clock.h"
#include "data_view.h"
#include "dialogs.h"
#include "passwords.h"
#include "settings_record.h"

namespace tb {

// Cancelling a saved line by a counter-entry, and deleting a line in service mode.
class Cancellation {
  public:
    Cancellation(Database& db, Dialogs& dialogs, Clock& clock, SettingsRecord& settings)
        : db_(db), dialogs_(dialogs), clock_(clock), settings_(settings) {}

    enum class Outcome { AlreadyCancelled, IsCounterEntry, Declined, Done, Failed };

    // Cancels the current line of the view. panelRate is the rate the panel shows, dayDate the
    // date of the day selected in the day list. Marking the line, appending the counter-entry
    // and raising the next receipt number happen together or not at all.
    // With a guard, a counter-entry that makes a day's balance negative is written only when
    // the operator agrees (declined: Outcome::Declined).
    Outcome cancel(DataView& lines, const QString& panelRate, const QString& dayDate);
    void setBalanceGuard(BalanceGuard* guard) { balanceGuard_ = guard; }

    enum class DeleteOutcome { NotAllowed, Declined, Deleted, Failed };
    DeleteOutcome deleteLine(DataView& lines, AccessGuard& guard);

    static QString negated(const QString& amount);

  private:
    Database& db_;
    Dialogs& dialogs_;
    Clock& clock_;
    SettingsRecord& settings_;
    BalanceGuard* balanceGuard_ = nullptr;
};

} // namespace tb
