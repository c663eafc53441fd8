#include "money.h"

#include <gtest/gtest.h>

using tb::Money;

TEST(Money, FormatsGermanTwoDecimals) {
    EXPECT_EQ(Money::fromCents(1250).toText(), "12,50");
    EXPECT_EQ(Money::fromCents(-319).toText(), "-3,19");
    EXPECT_EQ(Money::fromCents(0).toText(), "0,00");
    EXPECT_EQ(Money::fromCents(-5).toText(), "-0,05");
    EXPECT_EQ(Money::fromCents(123456789).toText(), "1234567,89"); // no thousands separator
}

TEST(Money, ParsesWhatItWritesAndTypedForms) {
    for (qint64 c : {0LL, 1LL, -1LL, 1250LL, -319LL, 99999999LL})
        EXPECT_EQ(Money::parse(Money::fromCents(c).toText())->cents(), c);
    EXPECT_EQ(Money::parse("150")->cents(), 15000);
    EXPECT_EQ(Money::parse("1.234,56")->cents(), 123456);
    EXPECT_EQ(Money::parse("0,005")->cents(), 1); // half away from zero
    EXPECT_EQ(Money::parse("-0,005")->cents(), -1);
    EXPECT_EQ(Money::parse("0,0049")->cents(), 0);
}

TEST(Money, RejectsTextsThatAreNoNumbers) {
    for (const char* bad : {"", "-", ",", "1,2,3", "abc", "1.2.3", "12a", "K", "--1"})
        EXPECT_FALSE(Money::parse(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(Money, MarkersAreSkippedBySums) {
    for (const char* m : {"K", "U", "S", "Ü"}) {
        EXPECT_TRUE(tb::isAmountMarker(QString::fromUtf8(m)));
        EXPECT_FALSE(tb::countedAmount(QString::fromUtf8(m)).has_value());
    }
    EXPECT_FALSE(tb::countedAmount("").has_value());
    EXPECT_EQ(tb::countedAmount("-3,19")->cents(), -319);
}

TEST(Money, ContainedVatIsExactAndRoundedOnce) {
    EXPECT_EQ(tb::containedVat(1900, Money::fromCents(11900), {})->toText(), "19,00");
    EXPECT_EQ(tb::containedVat(1900, Money::fromCents(5000), Money::fromCents(2000))->toText(),
              "4,79");
    EXPECT_EQ(tb::containedVat(700, {}, Money::fromCents(1070))->toText(), "-0,70");
    EXPECT_EQ(tb::containedVat(0, Money::fromCents(1000), {})->toText(), "0,00");
    EXPECT_EQ(*tb::parseRate("7,5"), 750);
}

TEST(Money, ManySmallAmountsSumWithoutDrift) {
    Money sum;
    const Money dime = *Money::parse("0,10");
    for (int i = 0; i < 100000; ++i)
        sum += dime;
    EXPECT_EQ(sum.toText(), "10000,00");
}

TEST(Money, GermanConventionsOnlyADotGroupsThousands) {
    EXPECT_EQ(Money::parse("1.500")->cents(), 150000);
    EXPECT_EQ(Money::parse("12.345.678,9")->cents(), 1234567890);
    EXPECT_EQ(Money::parse("-1.000")->cents(), -100000);
    EXPECT_EQ(Money::parse(" 7,5 ")->cents(), 750);
    // A dot anywhere else makes the text no number, never a decimal point.
    for (const char* bad :
         {"12.5", "1.50", "1.5000", ".5", "1.", "1..000", "1,000.5", "1000.000", "12.345.67"})
        EXPECT_FALSE(Money::parse(bad).has_value()) << bad;
}

TEST(Money, NoFigureOverflows) {
    // More digits than 64 bits hold: no number, not a wrapped one.
    EXPECT_FALSE(Money::parse("99999999999999999999").has_value());
    const Money big = *Money::parse("90000000000000000,00");
    EXPECT_EQ(big + big, Money::fromCents(Money::kMaxCents)); // saturates
    EXPECT_EQ(-big - big, Money::fromCents(-Money::kMaxCents));
    EXPECT_EQ((big + big).toText(), "92233720368547758,07");
    EXPECT_EQ((-big - big).toText(), "-92233720368547758,07");
    for (const auto& [cents, text] : {std::pair<int, const char*>{0, "0,00"},
                                      {5, "0,05"},
                                      {-5, "-0,05"},
                                      {-100, "-1,00"},
                                      {123456, "1234,56"}})
        EXPECT_EQ(Money::fromCents(cents).toText(), text);
    // A huge receipt at 19 %: the tax keeps its sign and its exact value.
    const Money huge = *Money::parse("30000000000000,00");
    EXPECT_EQ(tb::containedVat(1900, huge, {})->toText(), "4789915966386,55");
    EXPECT_EQ(tb::containedVat(1900, {}, huge)->toText(), "-4789915966386,55");
}

TEST(Money, RatesWithoutAResultOrBelowMinusHundred) {
    EXPECT_FALSE(tb::containedVat(-10000, Money::fromCents(10000), {}).has_value());
    // r = -200: -200 * 100 / -100 = 200; r = -150: -150 * 10 / -50 = 30 (exact, rounded).
    EXPECT_EQ(tb::containedVat(-20000, Money::fromCents(10000), {})->toText(), "200,00");
    EXPECT_EQ(tb::containedVat(-15000, Money::fromCents(1000), {})->toText(), "30,00");
    // -101 % of 1,00 over -1: 101,00; half-way values round away from zero whatever the signs.
    EXPECT_EQ(tb::containedVat(-10100, Money::fromCents(100), {})->toText(), "101,00");
    EXPECT_EQ(tb::divRoundHalfAway(5, -2), -3);
    EXPECT_EQ(tb::divRoundHalfAway(-5, -2), 3);
    EXPECT_EQ(tb::divRoundHalfAway(-7, 2), -4);
}
