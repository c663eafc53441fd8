#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

// An exact amount of money in integer cents. Every figure the cash book shows or stores goes
// through this type, so sums over any number of lines never drift.
class Money {
  public:
    constexpr Money() = default;
    static constexpr Money fromCents(std::int64_t cents) {
        Money m;
        m.cents_ = cents;
        return m;
    }

    constexpr std::int64_t cents() const { return cents_; }
    constexpr bool isNegative() const { return cents_ < 0; }

    // German "0.00": decimal comma, no thousands separator, e.g. "12,50", "-3,19", "0,00".
    QString toText() const;

    // Reads a German number text. Empty texts, the marker letters and anything that is not a
    // number give no value. A lone "." is taken as the decimal separator (a typed "12.5" is
    // 12,50); with a comma present, dots are thousands separators. More than two decimals are
    // rounded half away from zero.
    static std::optional<Money> parse(const QString& text);
    static std::optional<Money> parseUtf8(std::string_view utf8);

    // The same text as toText, as UTF-8 bytes.
    std::string toUtf8() const;

    // Like parse, but anything that is not a number counts as 0 (sums, the float).
    static Money parseOrZero(const QString& text) { return parse(text).value_or(Money()); }

    constexpr Money operator+(Money o) const { return fromCents(cents_ + o.cents_); }
    constexpr Money operator-(Money o) const { return fromCents(cents_ - o.cents_); }
    constexpr Money operator-() const { return fromCents(-cents_); }
    Money& operator+=(Money o) {
        cents_ += o.cents_;
        return *this;
    }
    Money& operator-=(Money o) {
        cents_ -= o.cents_;
        return *this;
    }
    constexpr auto operator<=>(const Money&) const = default;

  private:
    std::int64_t cents_ = 0;
};

// The letters that may stand in an amount column instead of a number; sums skip them.
bool isAmountMarker(const QString& text);

// A column value counts as a number unless it is empty or a marker letter; values that are
// not numbers are skipped as well.
std::optional<Money> countedAmount(const QString& text);
std::optional<Money> countedAmountUtf8(std::string_view utf8);

// A VAT rate in hundredths of a percent (19 -> 1900, "7,5" -> 750).
std::optional<std::int64_t> parseRate(const QString& text);

// The tax contained in (receipt - payment) at the given rate: rate * amount / (rate + 100),
// computed exactly and rounded to cents half away from zero.
Money containedVat(std::int64_t rateHundredths, Money receipt, Money payment);

// Integer division of a by b (b > 0) rounded half away from zero.
std::int64_t divRoundHalfAway(std::int64_t a, std::int64_t b);

} // namespace tb
