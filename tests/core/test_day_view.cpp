#include "day_view.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

TEST(RunningBalance, AllDaysInDateOrderPlusFloat) {
    test::TempBook book;
    // Inserted out of order: the balance follows the dates, not the IDs.
    const qint64 day2 = book.addLine("02.03.2024", "50,00", "");
    const qint64 in = book.addLine("01.03.2024", "100,00", "");
    const qint64 out = book.addLine("01.03.2024", "", "30,00");
    const qint64 marker = book.addLine("01.03.2024", "K", "");
    const qint64 empty = book.addLine("01.03.2024", "5,00", "", "x", "");
    const BalanceResult r = RunningBalance::fullWalk(book.db(), *Money::parse("150,00"));
    EXPECT_EQ(book.lineValue(in, "a15"), "250,00");
    EXPECT_EQ(book.lineValue(out, "a15"), "220,00");
    EXPECT_EQ(book.lineValue(marker, "a15"), "220,00");
    EXPECT_EQ(book.lineValue(empty, "a15"), ""); // counts, but is not written
    EXPECT_EQ(book.lineValue(day2, "a15"), "275,00");
    EXPECT_EQ(r.balance.toText(), "275,00");
    EXPECT_EQ(r.written, 4);
    // Nothing changed: nothing written.
    EXPECT_EQ(RunningBalance::fullWalk(book.db(), *Money::parse("150,00")).written, 0);
}

TEST(RunningBalance, YearBoundaryAndEqualDatesByID) {
    test::TempBook book;
    const qint64 b = book.addLine("01.01.2024", "", "1,00");
    const qint64 a = book.addLine("31.12.2023", "10,00", "");
    const qint64 c = book.addLine("01.01.2024", "", "2,00");
    RunningBalance::fullWalk(book.db(), {});
    EXPECT_EQ(book.lineValue(a, "a15"), "10,00");
    EXPECT_EQ(book.lineValue(b, "a15"), "9,00");
    EXPECT_EQ(book.lineValue(c, "a15"), "7,00");
}

TEST(DayTotals, ColumnSumsSkipMarkersAndCarriedIn) {
    test::TempBook book;
    book.addLine("02.03.2024", "50,00", "", "a", "270,00");
    book.addLine("02.03.2024", "U", "12,50", "b", "257,50");
    DataView lines(&book.db(), "Buchungen", "Select * from Buchungen WHERE a10 = (?)Order by ID;",
                   {"02.03.2024"});
    lines.refresh();
    const DayTotals t = computeDayTotals(lines);
    EXPECT_EQ(t.receipts.toText(), "50,00");
    EXPECT_EQ(t.payments.toText(), "12,50");
    EXPECT_EQ(t.dayAmount().toText(), "37,50");
    EXPECT_EQ(carriedInBalance(lines).toText(), "220,00");
    DataView none(&book.db(), "Buchungen", "Select * from Buchungen WHERE a10 = (?)Order by ID;",
                  {"09.09.2024"});
    none.refresh();
    EXPECT_EQ(computeDayTotals(none).dayAmount().toText(), "0,00");
}

TEST(RunningBalance, HundredThousandDimesSumExactly) {
    test::TempBook book;
    Transaction t(book.db());
    Statement st = book.db().prepare(
        "INSERT INTO Buchungen (a4, a10, a15) VALUES ('0,10', '01.03.2024', '0');");
    for (int i = 0; i < 100000; ++i) {
        st.run();
        st.reset();
    }
    t.commit();
    EXPECT_EQ(RunningBalance::fullWalk(book.db(), {}).balance.toText(), "10000,00");
}
