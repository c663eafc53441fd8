#include "money.h"

namespace tb {

namespace {
std::int64_t saturate(Int128 v) {
    if (v > Money::kMaxCents)
        return Money::kMaxCents;
    if (v < -Money::kMaxCents)
        return -Money::kMaxCents;
    return static_cast<std::int64_t>(v);
}

// Shared by the QString and the UTF-8 reading; ch(i) gives the code of character i.
template <typename Text> std::optional<Decimal> parseText(const Text& text) {
    const auto size = static_cast<int>(text.size());
    auto ch = [&](int i) { return static_cast<unsigned>(text[i]); };
    auto isSpace = [](unsigned c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    auto isDigit = [](unsigned c) { return c >= '0' && c <= '9'; };
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
    Decimal d;
    int digits = 0;
    auto take = [&](unsigned c) {
        if (d.digits > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
            return false;
        d.digits = d.digits * 10 + static_cast<int>(c - '0');
        ++digits;
        return true;
    };
    // The whole part: digits, with dots only between groups of three.
    int group = 0;
    bool grouped = false;
    for (; pos < end && ch(pos) != ','; ++pos) {
        const unsigned c = ch(pos);
        if (isDigit(c)) {
            if (!take(c))
                return std::nullopt;
            ++group;
        } else if (c == '.') {
            if (group == 0 || (grouped && group != 3) || (!grouped && group > 3))
                return std::nullopt;
            grouped = true;
            group = 0;
        } else {
            return std::nullopt;
        }
    }
    if (grouped && group != 3)
        return std::nullopt;
    if (pos < end) {
        ++pos; // the comma
        for (; pos < end; ++pos) {
            const unsigned c = ch(pos);
            if (!isDigit(c) || !take(c))
                return std::nullopt;
            ++d.scale;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (negative)
        d.digits = -d.digits;
    return d;
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

Int128 pow10(int n) {
    Int128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}
} // namespace

std::int64_t divRoundHalfAway(Int128 a, Int128 b) {
    const bool negative = (a < 0) != (b < 0);
    const Int128 absA = a < 0 ? -a : a;
    const Int128 absB = b < 0 ? -b : b;
    const Int128 q = (absA / absB) + ((absA % absB) * 2 >= absB ? 1 : 0);
    return saturate(negative ? -q : q);
}

std::optional<Decimal> parseGermanDecimal(const QString& text) {
    return parseText(QStringChars{text});
}

std::optional<Decimal> parseGermanDecimalUtf8(std::string_view utf8) {
    // Bytes of multi-byte characters are never digits or separators, so they fail as they should.
    return parseText(Utf8Chars{utf8});
}

Money Money::fromDecimal(const Decimal& d) {
    if (d.scale <= 2)
        return fromCents(saturate(static_cast<Int128>(d.digits) * pow10(2 - d.scale)));
    return fromCents(divRoundHalfAway(d.digits, pow10(d.scale - 2)));
}

Money Money::operator+(Money o) const {
    return fromCents(saturate(static_cast<Int128>(cents_) + o.cents_));
}

Money Money::operator-(Money o) const {
    return fromCents(saturate(static_cast<Int128>(cents_) - o.cents_));
}

QString Money::toText() const {
    return QString::fromStdString(toUtf8());
}

std::optional<Money> Money::parse(const QString& input) {
    const auto d = parseGermanDecimal(input);
    return d ? std::optional<Money>(fromDecimal(*d)) : std::nullopt;
}

std::optional<Money> Money::parseUtf8(std::string_view utf8) {
    // The form the program stores ("-12,50"): read at once; everything else the long way.
    const size_t n = utf8.size();
    if (n >= 4 && n <= 19 && utf8[n - 3] == ',') {
        size_t i = utf8[0] == '-' ? 1 : 0;
        std::int64_t cents = 0;
        bool plain = i < n - 3;
        for (size_t k = i; plain && k < n; ++k) {
            if (k == n - 3)
                continue;
            const char c = utf8[k];
            plain = c >= '0' && c <= '9';
            cents = cents * 10 + (c - '0');
        }
        if (plain)
            return fromCents(i ? -cents : cents);
    }
    const auto d = parseGermanDecimalUtf8(utf8);
    return d ? std::optional<Money>(fromDecimal(*d)) : std::nullopt;
}

std::string_view Money::toUtf8(char* buffer) const {
    // Written from the end: the cents, the comma, the whole units, the sign.
    std::uint64_t abs = static_cast<std::uint64_t>(cents_ < 0 ? -cents_ : cents_);
    char* end = buffer + kUtf8Size;
    char* p = end;
    *--p = static_cast<char>('0' + abs % 10);
    *--p = static_cast<char>('0' + abs / 10 % 10);
    *--p = ',';
    abs /= 100;
    do {
        *--p = static_cast<char>('0' + abs % 10);
        abs /= 10;
    } while (abs != 0);
    if (cents_ < 0)
        *--p = '-';
    return std::string_view(p, static_cast<size_t>(end - p));
}

std::string Money::toUtf8() const {
    char buffer[kUtf8Size];
    return std::string(toUtf8(buffer));
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

bool hasMoreThanTwoDecimals(const QString& text) {
    const auto d = parseGermanDecimal(text);
    return d && d->scale > 2;
}

std::optional<std::int64_t> parseRate(const QString& text) {
    // A rate is read like an amount; its "cents" are hundredths of a percent.
    const auto m = Money::parse(text);
    if (!m)
        return std::nullopt;
    return m->cents();
}

std::optional<Money> containedVat(std::int64_t rateHundredths, Money receipt, Money payment) {
    const Int128 den = static_cast<Int128>(rateHundredths) + 10000;
    if (den == 0)
        return std::nullopt;
    const Money gross = receipt - payment;
    return Money::fromCents(
        divRoundHalfAway(static_cast<Int128>(rateHundredths) * gross.cents(), den));
}

} // namespace tb
