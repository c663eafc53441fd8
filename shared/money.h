#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

// Wide enough for every product of two amounts; the intermediate results of VAT and counts.
__extension__ typedef __int128 Int128;

// A decimal number as written: all its digits and how many of them stand after the comma
// (12,50 -> 1250 with scale 2).
struct Decimal {
    std::int64_t digits = 0;
    int scale = 0;
};

// Reads a number with German conventions only: the comma is the decimal separator; a dot is a
// thousands separator where it stands in a valid position ("1.500", "1.234,56"), any other dot
// makes the text no number ("12.5", "1.2.3"). Blanks around the number and a leading sign are
// allowed. Texts with more digits than a 64-bit integer holds are no number either.
std::optional<Decimal> parseGermanDecimal(const QString& text);
std::optional<Decimal> parseGermanDecimalUtf8(std::string_view utf8);

// An exact amount of money in integer cents. Every figure the cash book shows or stores goes
// through this type, so sums over any number of lines never drift. Arithmetic saturates at the
// largest amount instead of overflowing.
class Money {
  public:
    static constexpr std::int64_t kMaxCents = std::numeric_limits<std::int64_t>::max();

    constexpr Money() = default;
    static constexpr Money fromCents(std::int64_t cents) {
        Money m;
        m.cents_ = cents < -kMaxCents ? -kMaxCents : cents;
        return m;
    }
    // Rounded half away from zero to cents, saturated.
    static Money fromDecimal(const Decimal& d);

    constexpr std::int64_t cents() const { return cents_; }
    constexpr bool isNegative() const { return cents_ < 0; }

    // German "0.00": decimal comma, no thousands separator, e.g. "12,50", "-3,19", "0,00".
    QString toText() const;

    // Reads a German number text (parseGermanDecimal). Empty texts, the marker letters and
    // anything that is not a number give no value. More than two decimals are rounded half
    // away from zero.
    static std::optional<Money> parse(const QString& text);
    static std::optional<Money> parseUtf8(std::string_view utf8);

    // The same text as toText, as UTF-8 bytes.
    std::string toUtf8() const;
    // The same bytes written into buffer (kUtf8Size bytes at least), without allocating.
    static constexpr size_t kUtf8Size = 24;
    std::string_view toUtf8(char* buffer) const;

    // Like parse, but anything that is not a number counts as 0 (sums, the float).
    static Money parseOrZero(const QString& text) { return parse(text).value_or(Money()); }

    Money operator+(Money o) const;
    Money operator-(Money o) const;
    constexpr Money operator-() const { return fromCents(-cents_); }
    Money& operator+=(Money o) { return *this = *this + o; }
    Money& operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money&) const = default;

  private:
    std::int64_t cents_ = 0;
};

// The largest amount the entry panel accepts for a line: 999 999 999,99.
inline constexpr Money kMaxLineAmount = Money::fromCents(99'999'999'999LL);

// The letters that may stand in an amount column instead of a number; sums skip them.
bool isAmountMarker(const QString& text);

// A column value counts as a number unless it is empty or a marker letter; values that are
// not numbers are skipped as well.
std::optional<Money> countedAmount(const QString& text);
std::optional<Money> countedAmountUtf8(std::string_view utf8);

// A number typed with more than two digits after the comma ("1,500" where 1.500 was meant):
// it is never rounded to cents behind the operator's back.
bool hasMoreThanTwoDecimals(const QString& text);

// A VAT rate in hundredths of a percent (19 -> 1900, "7,5" -> 750).
std::optional<std::int64_t> parseRate(const QString& text);

// The tax contained in (receipt - payment) at the given rate: rate * amount / (rate + 100),
// computed exactly and rounded to cents half away from zero. No value for a rate of -100,
// where the formula has no result.
std::optional<Money> containedVat(std::int64_t rateHundredths, Money receipt, Money payment);

// a / b rounded half away from zero, for any signs (b != 0), saturated to 64 bits.
std::int64_t divRoundHalfAway(Int128 a, Int128 b);

} // namespace tb
