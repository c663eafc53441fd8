#pragma once

#include "booking_entry.h"
#include "dialogs.h"
#include "running_balance.h"

#include <vector>

namespace tb {

// A till cannot hold less than nothing: before a line, a counter-entry or a new float is
// written, the guard looks whether it makes the end balance of some day fall below zero, and
// if so asks the operator to check the entries first. "Nein" is the default: nothing is
// written then.
//
// It works on what the running balance remembers, so a save on the newest day reads that day
// only.
class BalanceGuard {
  public:
    BalanceGuard(Database& db, Dialogs& dialogs, RunningBalance& balance)
        : db_(db), dialogs_(dialogs), balance_(balance) {}

    // True when the change may be written: no day goes negative, or the operator said so.
    bool allows(const std::vector<BalanceShift>& shifts, Money floatAmount);
    // The entry saved into the target line (a new line on dayDate, or a saved line, which
    // keeps its date).
    bool allowsLine(const LineTarget& target, const EntryValues& v, const QString& dayDate,
                    Money floatAmount);
    // A counter-entry on date that takes back a line with these receipt and payment texts.
    bool allowsCounterEntry(const QString& date, const QString& receipt, const QString& payment,
                            Money floatAmount);
    // The float changed from one amount to another.
    bool allowsFloat(Money oldFloat, Money newFloat);

    // What a line with these receipt and payment texts adds to the balance, as the running
    // balance counts it.
    static Money lineAmount(const QString& receipt, const QString& payment);
    static QString question(const NegativeDay& day);
    // An amount as the messages show it: a minus sign, not a hyphen ("−12,34").
    static QString signedText(Money m);

  private:
    Database& db_;
    Dialogs& dialogs_;
    RunningBalance& balance_;
};

} // namespace tb
