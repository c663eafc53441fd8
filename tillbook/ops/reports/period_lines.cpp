#include "period_lines.h"

#include "cash_date.h"
#include "line_order.h"

#include <algorithm>

namespace tb {

PeriodLines::PeriodLines(Database& db, const QString& start, const QString& end)
    : db_(db), startKey_(cashdate::rangeNumber(start)), endKey_(cashdate::rangeNumber(end)) {}

Result PeriodLines::read() {
    dates_.clear();
    lines_ = 0;
    // The index on a10 gives every date with its number of lines without touching a line; the
    // period test runs on the few thousand dates, not on every line.
    Statement st = db_.prepare(
        QStringLiteral("SELECT a10, count(*) FROM Buchungen WHERE a10 IS NOT NULL GROUP BY a10;"));
    struct Keyed {
        quint64 order;
        Date date;
    };
    std::vector<Keyed> found;
    while (st.next()) {
        const QString text = st.text(0);
        const int key = cashdate::rangeNumber(text);
        if (key < startKey_ || key > endKey_)
            continue;
        const qint64 n = st.integer(1);
        lines_ += n;
        found.push_back({lineDateKey(st.utf8(0)), Date{text, cashdate::fromText(text), n}});
    }
    if (!st.failure().ok() || !st.isValid()) {
        dates_.clear();
        lines_ = 0;
        return st.isValid() ? st.failure() : db_.lastFailure();
    }
    std::sort(found.begin(), found.end(), [](const Keyed& a, const Keyed& b) {
        return a.order != b.order ? a.order < b.order : a.date.text < b.date.text;
    });
    dates_.reserve(found.size());
    for (Keyed& k : found)
        dates_.push_back(std::move(k.date));
    return {};
}

PeriodLines::Walk PeriodLines::walk(const QString& columns, size_t first, size_t last,
                                    const Row& row) {
    // One date at a time through the index on a10: its entries are in ID order, so the engine
    // neither sorts nor holds more than the row at hand.
    Statement st = db_.prepare(QStringLiteral("SELECT ") + columns +
                               QStringLiteral(" FROM Buchungen WHERE a10 = ? ORDER BY ID;"));
    if (!st.isValid())
        return {Walk::Failed, db_.lastFailure()};
    for (size_t i = first; i < last && i < dates_.size(); ++i) {
        st.reset();
        st.bind(1, dates_[i].text);
        while (st.next())
            if (!row(dates_[i], st))
                return {Walk::Stopped, {}};
        if (!st.failure().ok())
            return {Walk::Failed, st.failure()};
    }
    return {Walk::Done, {}};
}

} // namespace tb
