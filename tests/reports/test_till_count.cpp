#include "till_count.h"

#include <gtest/gtest.h>

using tb::Money;
using tb::TillCount;

TEST(TillCount, LineTotalsByDenomination) {
    EXPECT_EQ(TillCount::lineTotal(1, "3", {}), "1500,00");
    EXPECT_EQ(TillCount::lineTotal(14, "7", {}), "0,14");
    EXPECT_EQ(TillCount::lineTotal(8, "12", {}), "24,00");
    EXPECT_EQ(TillCount::lineTotal(15, "250", {}), "2,50");
    // German number reading: one and a half notes of 500; a thousands dot is no decimal point.
    EXPECT_EQ(TillCount::lineTotal(1, "1,5", {}), "750,00");
    EXPECT_EQ(TillCount::lineTotal(15, "1.000", {}), "10,00");
    // The service code in the first field counts like any number.
    EXPECT_EQ(TillCount::lineTotal(1, "4817", {}), "2408500,00");
}

TEST(TillCount, EmptyAndUnreadableCounts) {
    EXPECT_EQ(TillCount::lineTotal(3, "", "300,00"), "");        // cleared: the total goes too
    EXPECT_EQ(TillCount::lineTotal(3, "x", "300,00"), "300,00"); // no number: kept
    EXPECT_EQ(TillCount::lineTotal(3, "1.5", "300,00"), "300,00");
    EXPECT_EQ(TillCount::lineTotal(3, "-", ""), "");
}

TEST(TillCount, TotalsAndDifferenceNeverOverflow) {
    TillCount::Texts totals;
    totals[0] = "1500,00";
    totals[13] = "0,14";
    EXPECT_EQ(TillCount::countedTotal(totals).toText(), "1500,14");
    EXPECT_EQ(TillCount::difference("0,00", "-20,00").toText(), "20,00");
    EXPECT_EQ(TillCount::difference("", "").toText(), "0,00");

    // A count far beyond any till: the product saturates instead of wrapping to a negative.
    const QString huge = TillCount::lineTotal(1, "999999999999999999", {});
    ASSERT_FALSE(huge.isEmpty());
    EXPECT_FALSE(huge.startsWith('-'));
    totals.fill(huge);
    EXPECT_FALSE(TillCount::countedTotal(totals).isNegative());
    EXPECT_EQ(TillCount::denomination(10), Money::fromCents(50));
}
