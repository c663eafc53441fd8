#pragma once

#include "money.h"

#include <QString>
#include <array>

namespace tb {

// Counting the till by notes and coins: fifteen lines of count x denomination, the counted
// total and its difference to the book balance. Nothing of it is stored.
class TillCount {
  public:
    static constexpr int kLines = 15;
    using Texts = std::array<QString, kLines>;

    // The denomination captions, 500 down to 0,01, and their values read as German numbers.
    static const Texts& captions();
    static Money denomination(int line); // line 1..15
    // Lines 1..7 are notes ("Scheine"), 8..15 coins ("Münzen").
    static bool isCoin(int line) { return line >= 8; }

    // The line total for a count: count x denomination formatted "0.00"; empty for an empty
    // count; the previous total when the count is no number (the error is skipped). Counts are
    // German numbers, so "1,5" counts one and a half and the service code in the first field
    // counts as that many notes.
    static QString lineTotal(int line, const QString& count, const QString& previous);

    // Why a count cannot stand in line i, in German; empty when it can (an empty count, one
    // that is no number yet, or one whose line total is exact to the cent and fits the cash
    // book's amounts). A count is never rounded or capped behind the operator's back.
    static QString refusal(int line, const QString& count);

    // The sum of the non-empty line totals.
    static Money countedTotal(const Texts& lineTotals);

    // Counted total minus book balance; an empty or unreadable text counts as 0.
    static Money difference(const QString& counted, const QString& bookBalance);
};

} // namespace tb
