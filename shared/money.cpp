#include "money.h"

#include <cstdlib>

namespace tb {

QString Money::toText() const {
    const std::int64_t abs = cents_ < 0 ? -cents_ : cents_;
    QString text = QString::number(abs / 100) + QLatin1Char(',') +
                   QStringLiteral("%1").arg(abs % 100, 2, 10, QLatin1Char('0'));
    return cents_ < 0 ? QLatin1Char('-') + text : text;
}

std::int64_t divRoundHalfAway(std::int64_t a, std::int64_t b) {
    const bool negative = a < 0;
    const std::int64_t absA = negative ? -a : a;
    const std::int64_t q = (absA * 2 + b) / (2 * b);
    return negative ? -q : q;
}

std::optional<Money> Money::parse(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;

    int pos = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')) {
        negative = text[0] == QLatin1Char('-');
        pos = 1;
    }
    const bool hasComma = text.contains(QLatin1Char(','));
    const QChar decimal = hasComma ? QLatin1Char(',') : QLatin1Char('.');

    std::int64_t cents = 0;
    int fractionDigits = 0;
    bool roundUp = false;
    bool inFraction = false;
    bool anyDigit = false;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            anyDigit = true;
            const int d = c.unicode() - '0';
            if (!inFraction) {
                if (cents > 90'000'000'000'000'000LL / 100)
                    return std::nullopt;
                cents = cents * 10 + d * 100;
            } else if (fractionDigits < 2) {
                cents += d * (fractionDigits == 0 ? 10 : 1);
                ++fractionDigits;
            } else {
                // The first dropped digit decides: from 5 on, the rest is at least a half.
                if (fractionDigits == 2)
                    roundUp = d >= 5;
                ++fractionDigits;
            }
        } else if (c == decimal) {
            if (inFraction)
                return std::nullopt;
            inFraction = true;
        } else if (hasComma && c == QLatin1Char('.') && !inFraction) {
            continue; // thousands separator
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (roundUp)
        ++cents;
    return Money::fromCents(negative ? -cents : cents);
}

bool isAmountMarker(const QString& text) {
    return text == QLatin1String("K") || text == QLatin1String("U") || text == QLatin1String("S") ||
           text == QString::fromUtf8("Ü");
}

std::optional<Money> countedAmount(const QString& text) {
    if (text.isEmpty() || isAmountMarker(text))
        return std::nullopt;
    return Money::parse(text);
}

std::optional<std::int64_t> parseRate(const QString& text) {
    // A rate is read like an amount; its "cents" are hundredths of a percent.
    const auto m = Money::parse(text);
    if (!m)
        return std::nullopt;
    return m->cents();
}

Money containedVat(std::int64_t rateHundredths, Money receipt, Money payment) {
    const std::int64_t gross = receipt.cents() - payment.cents();
    return Money::fromCents(divRoundHalfAway(rateHundredths * gross, rateHundredths + 10000));
}

} // namespace tb
