#include "balance_guard.h"

namespace tb {

Money BalanceGuard::lineAmount(const QString& receipt, const QString& payment) {
    return countedAmount(receipt).value_or(Money()) - countedAmount(payment).value_or(Money());
}

QString BalanceGuard::signedText(Money m) {
    const QString t = m.toText();
    return t.startsWith(QLatin1Char('-')) ? QChar(0x2212) + t.mid(1) : t;
}

QString BalanceGuard::question(const NegativeDay& day) {
    return QStringLiteral("Der Kassenbestand wird am %1 negativ (%2 EUR). Eine Kasse kann keinen "
                          "negativen Bestand haben – bitte prüfen Sie die Eingaben (z. B. eine "
                          "fehlende Einnahme). Trotzdem speichern ?")
        .arg(day.date, signedText(day.balance));
}

bool BalanceGuard::allows(const std::vector<BalanceShift>& shifts, Money floatAmount) {
    const auto day = balance_.firstNegativeDay(shifts, floatAmount);
    if (!day)
        return true;
    return dialogs_.message(question(*day), QStringLiteral("Kassenbestand"), Icon::Exclamation,
                            Buttons::YesNoDefaultNo) == Answer::Yes;
}

bool BalanceGuard::allowsLine(const LineTarget& target, const EntryValues& v,
                              const QString& dayDate, Money floatAmount) {
    std::vector<BalanceShift> shifts;
    QString date = dayDate;
    if (!target.isNew()) {
        // A saved line keeps its date; what it counted before comes off that date.
        Statement st =
            db_.prepare(QStringLiteral("SELECT a10, a4, a5 FROM Buchungen WHERE ID = ?;"));
        st.bind(1, target.id);
        if (st.next()) {
            if (!st.text(0).isEmpty())
                date = st.text(0);
            BalanceShift before = BalanceShift::on(st.text(0), -lineAmount(st.text(1), st.text(2)));
            if (st.isNull(0))
                before.key = DateKey{false, 0}; // as the balance orders a line without date
            shifts.push_back(before);
        }
    }
    shifts.push_back(BalanceShift::on(date, lineAmount(v.line.receipt, v.line.payment)));
    return allows(shifts, floatAmount);
}

bool BalanceGuard::allowsCounterEntry(const QString& date, const QString& receipt,
                                      const QString& payment, Money floatAmount) {
    return allows({BalanceShift::on(date, -lineAmount(receipt, payment))}, floatAmount);
}

bool BalanceGuard::allowsFloat(Money oldFloat, Money newFloat) {
    // Keyed before every date: the float is in every day's balance.
    return allows({BalanceShift{DateKey{false, 0}, {}, newFloat - oldFloat}}, oldFloat);
}

} // namespace tb
