#include "till_count.h"

namespace tb {

const TillCount::Texts& TillCount::captions() {
    static const Texts c{"500",  "200",  "100",  "50",   "20",   "10",   "5",   "2,00",
                         "1,00", "0,50", "0,20", "0,10", "0,05", "0,02", "0,01"};
    return c;
}

Money TillCount::denomination(int line) {
    if (line < 1 || line > kLines)
        return {};
    return Money::parseOrZero(captions()[static_cast<size_t>(line - 1)]);
}

QString TillCount::lineTotal(int line, const QString& count, const QString& previous) {
    if (count.isEmpty())
        return {};
    const auto n = parseGermanDecimal(count);
    if (!n)
        return previous;
    Int128 scale = 1;
    for (int i = 0; i < n->scale; ++i)
        scale *= 10;
    const Int128 product = static_cast<Int128>(n->digits) * denomination(line).cents();
    return Money::fromCents(divRoundHalfAway(product, scale)).toText();
}

QString TillCount::refusal(int line, const QString& count) {
    const auto n = parseGermanDecimal(count);
    if (!n)
        return {};
    if (n->scale > 2)
        return count + QStringLiteral(" ist keine gültige Anzahl (höchstens zwei "
                                      "Nachkommastellen).");
    const Int128 product = static_cast<Int128>(n->digits) * denomination(line).cents();
    Int128 scale = 1;
    for (int i = 0; i < n->scale; ++i)
        scale *= 10;
    if (product % scale != 0)
        return count + QStringLiteral(" x ") + captions()[static_cast<size_t>(line - 1)] +
               QStringLiteral(" ergibt keinen Betrag in ganzen Cent.");
    const Int128 cents = product / scale;
    if (cents > kMaxLineAmount.cents() || -cents > kMaxLineAmount.cents())
        return QStringLiteral("Die Anzahl ") + count +
               QStringLiteral(" ist zu groß: Eine Zeile der Kassenaufnahme darf höchstens ") +
               kMaxLineAmount.toText() + QStringLiteral(" ergeben.");
    return {};
}

Money TillCount::countedTotal(const Texts& lineTotals) {
    Money sum;
    for (const QString& t : lineTotals)
        sum += Money::parseOrZero(t);
    return sum;
}

Money TillCount::difference(const QString& counted, const QString& bookBalance) {
    return Money::parseOrZero(counted) - Money::parseOrZero(bookBalance);
}

} // namespace tb
