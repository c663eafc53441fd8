#pragma once

#include "data_view.h"
#include "money.h"

#include <vector>

namespace tb {

// The balance after each listed line, as the printout and the export show it. A line that
// keeps a balance of its own has it (the running balance writes there the cash after that
// line); a line without one (a counter-entry) has the balance after the line before it plus its
// receipt less its payment, the first line starting from the carried-in balance.
std::vector<Money> balancesAfter(const DataView& lines, Money carriedIn);

} // namespace tb
