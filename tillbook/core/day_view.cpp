#include "day_view.h"

#include <algorithm>
#include <string>

namespace tb {

DayTotals computeDayTotals(const DataView& lines) {
    DayTotals t;
    const std::pair<Money*, const char*> sums[] = {
        {&t.receipts, "a4"},       {&t.payments, "a5"}, {&t.rates, "a6"}, {&t.vat, "a7"},
        {&t.receiptNumbers, "a8"}, {&t.vat1, "a14"},    {&t.vat2, "a13"}};
    for (const auto& [sum, column] : sums) {
        const int c = lines.columnIndex(QLatin1String(column));
        if (c < 0)
            continue;
        for (int row = 0; row < lines.recordCount(); ++row)
            if (const auto m = countedAmountUtf8(lines.utf8At(row, c)))
                *sum += *m;
    }
    return t;
}

namespace {
// The date parts the running balance orders by: year, month and day taken from a10 by
// position, compared as texts.
std::string_view datePart(std::string_view d, size_t from, size_t n) {
    return from < d.size() ? d.substr(from, n) : std::string_view();
}

int compareDates(std::string_view a, std::string_view b) {
    for (auto [from, n] : {std::pair<size_t, size_t>{6, 4}, {3, 2}, {0, 2}}) {
        const int c = datePart(a, from, n).compare(datePart(b, from, n));
        if (c != 0)
            return c;
    }
    return 0;
}
} // namespace

Money balanceCarriedInto(Database& db, const QString& date, Money floatAmount) {
    return balanceBefore(db, date, 0, floatAmount);
}

Money balanceBefore(Database& db, const QString& date, qint64 id, Money floatAmount) {
    const QByteArray day = date.toUtf8();
    const std::string_view dayView(day.constData(), static_cast<size_t>(day.size()));
    Money b = floatAmount;
    Statement st = db.prepare(QStringLiteral("Select a10, a4, a5, ID from Buchungen;"));
    while (st.next()) {
        const int c = compareDates(st.utf8(0), dayView);
        if (c > 0 || (c == 0 && st.integer(3) >= id))
            continue;
        b += countedAmountUtf8(st.utf8(1)).value_or(Money());
        b -= countedAmountUtf8(st.utf8(2)).value_or(Money());
    }
    return b;
}

BalanceResult RunningBalance::recompute(Database& db, Money floatAmount) {
    // Same order as allLinesSource(): year, month and day taken from a10 by position, then ID.
    // Sorting here instead of in SQL keeps the engine from calling the text functions three
    // times per line; the figures are read as bytes without building strings.
    struct Line {
        qint64 id;
        std::string date;
        Money in, out;
        bool counted;
        std::string stored;
    };
    BalanceResult result;
    std::vector<Line> all;
    {
        Statement st = db.prepare(QStringLiteral("Select ID, a10, a4, a5, a15 from Buchungen;"));
        while (st.next()) {
            Line l{st.integer(0),       std::string(st.utf8(1)), {}, {},
                   !st.utf8(4).empty(), std::string(st.utf8(4))};
            l.in = countedAmountUtf8(st.utf8(2)).value_or(Money());
            l.out = countedAmountUtf8(st.utf8(3)).value_or(Money());
            all.push_back(std::move(l));
        }
        result.ok = st.isValid() && st.error().isEmpty();
    }
    if (!result.ok)
        return result;
    std::sort(all.begin(), all.end(), [&](const Line& a, const Line& b) {
        const int c = compareDates(a.date, b.date);
        return c != 0 ? c < 0 : a.id < b.id;
    });

    struct Change {
        qint64 id;
        std::string text;
    };
    std::vector<Change> changes;
    Money b;
    for (const Line& l : all) {
        b += l.in;
        b -= l.out;
        if (!l.counted)
            continue;
        std::string now = (b + floatAmount).toUtf8();
        if (now != l.stored)
            changes.push_back({l.id, std::move(now)});
    }
    result.balance = b + floatAmount;
    if (changes.empty())
        return result;

    Transaction t(db);
    Statement up = db.prepare(QStringLiteral("UPDATE Buchungen SET a15 = ? WHERE ID = ?;"));
    for (const Change& c : changes) {
        up.bind(1, QString::fromStdString(c.text));
        up.bind(2, c.id);
        if (!up.run()) {
            result.ok = false;
            return result; // rolled back
        }
        up.reset();
    }
    result.ok = t.commit();
    result.written = result.ok ? static_cast<int>(changes.size()) : 0;
    return result;
}

Money carriedInBalance(const DataView& lines) {
    if (lines.isEmpty())
        return {};
    const Money stored = countedAmount(lines.valueAt(0, QStringLiteral("a15"))).value_or(Money());
    const Money in = countedAmount(lines.valueAt(0, QStringLiteral("a4"))).value_or(Money());
    const Money out = countedAmount(lines.valueAt(0, QStringLiteral("a5"))).value_or(Money());
    return stored - in + out;
}

} // namespace tb
