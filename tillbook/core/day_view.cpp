#include "day_view.h"

namespace tb {

DayTotals computeDayTotals(const DataView& lines) {
    DayTotals t;
    auto add = [&](Money& sum, int row, const char* column) {
        if (const auto m = countedAmount(lines.valueAt(row, QLatin1String(column))))
            sum += *m;
    };
    for (int row = 0; row < lines.recordCount(); ++row) {
        add(t.receipts, row, "a4");
        add(t.payments, row, "a5");
        add(t.rates, row, "a6");
        add(t.vat, row, "a7");
        add(t.receiptNumbers, row, "a8");
        add(t.vat1, row, "a14");
        add(t.vat2, row, "a13");
    }
    return t;
}

BalanceResult RunningBalance::recompute(Database& db, Money floatAmount) {
    BalanceResult result;
    struct Change {
        qint64 id;
        QString text;
    };
    std::vector<Change> changes;
    {
        Statement st = db.prepare(QStringLiteral(
            "Select ID, a4, a5, a15 from Buchungen order by mid(a10, 7,4), mid(a10, 4,2), "
            "mid(a10, 1,2), ID;"));
        Money b;
        while (st.next()) {
            if (const auto in = countedAmount(st.text(1)))
                b += *in;
            if (const auto out = countedAmount(st.text(2)))
                b -= *out;
            const QString stored = st.text(3);
            if (stored.isEmpty())
                continue;
            const QString now = (b + floatAmount).toText();
            if (stored != now)
                changes.push_back({st.integer(0), now});
        }
        result.ok = st.error().isEmpty() && st.isValid();
        result.balance = b + floatAmount;
    }
    if (!result.ok || changes.empty())
        return result;

    Transaction t(db);
    Statement up = db.prepare(QStringLiteral("UPDATE Buchungen SET a15 = ? WHERE ID = ?;"));
    for (const Change& c : changes) {
        up.bind(1, c.text);
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
