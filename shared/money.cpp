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

namespace {
// Shared by the QString and the UTF-8 reading; ch(i) gives the code of character i.
template <typename Text> std::optional<Money> parseText(const Text& text) {
    const auto size = static_cast<int>(text.size());
    auto ch = [&](int i) { return static_cast<unsigned>(text[i]); };
    auto isSpace = [](unsigned c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    int begin = 0;
    int end = size;
    while (begin < end && isSpace(ch(begin)))
        ++begin;
    while (end > begin && isSpace(ch(end - 1)))
        --end;
    if (begin == end)
        return std::nullopt;

    int pos = begin;
    bool negative = false;
    if (ch(pos) == '-' || ch(pos) == '+') {
        negative = ch(pos) == '-';
        ++pos;
    }
    bool hasComma = false;
    for (int i = pos; i < end; ++i)
        hasComma = hasComma || ch(i) == ',';
    const unsigned decimal = hasComma ? ',' : '.';

    std::int64_t cents = 0;
    int fractionDigits = 0;
    bool roundUp = false;
    bool inFraction = false;
    bool anyDigit = false;
    for (; pos < end; ++pos) {
        const unsigned c = ch(pos);
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            const int d = static_cast<int>(c - '0');
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
        } else if (hasComma && c == '.' && !inFraction) {
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

struct QStringChars {
    const QString& s;
    qsizetype size() const { return s.size(); }
    char16_t operator[](int i) const { return s[i].unicode(); }
};
struct Utf8Chars {
    std::string_view s;
    size_t size() const { return s.size(); }
    unsigned char operator[](int i) const {
        return static_cast<unsigned char>(s[static_cast<size_t>(i)]);
    }
};
} // namespace

std::optional<Money> Money::parse(const QString& input) {
    return parseText(QStringChars{input});
}

std::optional<Money> Money::parseUtf8(std::string_view utf8) {
    // Bytes of multi-byte characters are never digits or separators, so they fail as they should.
    return parseText(Utf8Chars{utf8});
}

std::string Money::toUtf8() const {
    const std::int64_t abs = cents_ < 0 ? -cents_ : cents_;
    std::string out = cents_ < 0 ? "-" : "";
    out += std::to_string(abs / 100);
    out += ',';
    out += static_cast<char>('0' + (abs % 100) / 10);
    out += static_cast<char>('0' + abs % 10);
    return out;
}

bool isAmountMarker(const QString& text) {
    return text == QLatin1String("K") || text == QLatin1String("U") || text == QLatin1String("S") ||
           text == QString::fromUtf8("Ü");
}

std::optional<Money> countedAmountUtf8(std::string_view utf8) {
    if (utf8.empty() || utf8 == "K" || utf8 == "U" || utf8 == "S" || utf8 == "\xC3\x9C")
        return std::nullopt;
    return Money::parseUtf8(utf8);
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
