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
    EXPECT_EQ(Money::parse("12.5")->cents(), 1250); // a typed point is the decimal separator
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
    EXPECT_EQ(tb::containedVat(1900, Money::fromCents(11900), {}).toText(), "19,00");
    EXPECT_EQ(tb::containedVat(1900, Money::fromCents(5000), Money::fromCents(2000)).toText(),
              "4,79");
    EXPECT_EQ(tb::containedVat(700, {}, Money::fromCents(1070)).toText(), "-0,70");
    EXPECT_EQ(tb::containedVat(0, Money::fromCents(1000), {}).toText(), "0,00");
    EXPECT_EQ(*tb::parseRate("7,5"), 750);
}

TEST(Money, ManySmallAmountsSumWithoutDrift) {
    Money sum;
    const Money dime = *Money::parse("0,10");
    for (int i = 0; i < 100000; ++i)
        sum += dime;
    EXPECT_EQ(sum.toText(), "10000,00");
}
