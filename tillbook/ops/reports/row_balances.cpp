#include "row_balances.h"

#include "schema.h"

namespace tb {

std::vector<Money> balancesAfter(const DataView& lines, Money carriedIn) {
    std::vector<Money> out;
    out.reserve(static_cast<size_t>(lines.recordCount()));
    const int stored = lines.columnIndex(schema::Lines::balance);
    const int in = lines.columnIndex(schema::Lines::receipt);
    const int outCol = lines.columnIndex(schema::Lines::payment);
    Money b = carriedIn;
    for (int row = 0; row < lines.recordCount(); ++row) {
        const std::optional<Money> own =
            stored < 0 ? std::nullopt : countedAmountUtf8(lines.utf8At(row, stored));
        if (own) {
            b = *own;
        } else {
            if (in >= 0)
                b += countedAmountUtf8(lines.utf8At(row, in)).value_or(Money());
            if (outCol >= 0)
                b -= countedAmountUtf8(lines.utf8At(row, outCol)).value_or(Money());
        }
        out.push_back(b);
    }
    return out;
}

} // namespace tb
