#include "csv_export.h"
#include "day_view.h"
#include "print_layout.h"
#include "row_balances.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
std::vector<PrintRow> rowsOf(int n) {
    std::vector<PrintRow> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({"01.03.2024", QString::number(i + 1), "Bareinnahme", "", "", "", "10,00",
                        "", Money::fromCents(1000 * (i + 1))});
    return rows;
}

ListingState day() {
    ListingState s;
    s.kind = ListingKind::Tag;
    s.dayDate = "01.03.2024";
    s.carriedIn = Money::fromCents(15000);
    s.totals.receipts = Money::fromCents(31000);
    return s;
}

PrintSettings euro() {
    PrintSettings s;
    s.currency = "EUR";
    s.rate1 = "19";
    s.rate2 = "7";
    return s;
}

// The texts of a page standing at height y, by x.
std::vector<const PageText*> at(const Page& p, double y) {
    std::vector<const PageText*> out;
    for (const PageText& t : p.texts)
        if (t.y == y)
            out.push_back(&t);
    return out;
}

const PageText* find(const Page& p, const QString& text) {
    for (const PageText& t : p.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}
} // namespace

TEST(CashBookPrint, ThirtyOneRowsAPageTheNextOpensPageTwoWithItsHeader) {
    PrintDocument doc = cashBookPages(rowsOf(31), day(), euro());
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_TRUE(doc.landscape);
    EXPECT_EQ(doc.font, "Arial");
    const Page& one = doc.pages[0];
    const PageText* title = find(one, "Kassenbuch vom 01.03.2024");
    ASSERT_TRUE(title);
    EXPECT_TRUE(title->bold);
    EXPECT_EQ(title->size, 10);
    EXPECT_EQ(title->x, 20);
    EXPECT_EQ(title->y, 10);
    const PageText* page = find(one, "Seite 1");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->right);
    EXPECT_EQ(page->x, 280);
    const PageText* carry = find(one, "Kassenbestand vom  Vortag: 150,00 EUR");
    ASSERT_TRUE(carry);
    EXPECT_EQ(carry->y, 15);
    EXPECT_EQ(carry->x, 245);
    // Rows every 5 mm from 35 to 185.
    EXPECT_EQ(at(one, 35).size(), 6u);
    EXPECT_EQ(at(one, 185).size(), 6u);
    EXPECT_TRUE(find(one, "310,00 EUR")); // the last row's balance
    EXPECT_EQ(one.rules.front().y, 33);
    EXPECT_EQ(one.rules.front().x1, 14);
    EXPECT_EQ(one.rules.front().x2, 284);

    doc = cashBookPages(rowsOf(32), day(), euro());
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].rules.back().y, 193); // the closing rule of page 1 at Y + 8
    const Page& two = doc.pages[1];
    EXPECT_TRUE(find(two, "Kassenbuch vom 01.03.2024"));
    EXPECT_TRUE(find(two, "Seite 2"));
    EXPECT_FALSE(find(two, "Kassenbestand vom  Vortag: 150,00 EUR"));
    ASSERT_EQ(at(two, 35).size(), 6u);
    EXPECT_EQ(at(two, 35)[1]->text, "32");
    // The totals row: 6 mm under the last row, a rule, bold figures 1 mm lower.
    EXPECT_EQ(two.rules.back().y, 41);
    const PageText* receipts = find(two, "310,00 EUR");
    ASSERT_TRUE(receipts);
    EXPECT_TRUE(receipts->bold);
    EXPECT_EQ(receipts->y, 42);
    EXPECT_EQ(receipts->x, 215);
}

TEST(CashBookPrint, ColumnsCutsMarkersAndTheTaxSwitch) {
    PrintRow r{"01.03.2024",
               "7",
               "Ein sehr langer Buchungstext",
               "Eine sehr lange Bemerkung hier",
               "0,00",
               "1,23",
               "K",
               "5,00",
               Money::fromCents(4200)};
    PrintSettings receipts = euro();
    receipts.numberCaption = "Bon-Nr.";
    PrintDocument doc = cashBookPages({r}, day(), receipts);
    const Page& p = doc.pages[0];
    const std::vector<const PageText*> row = at(p, 35);
    auto text = [&](double x) -> QString {
        for (const PageText* t : row)
            if (t->x == x)
                return t->text;
        return "<none>";
    };
    EXPECT_EQ(text(14), "01.03.2024");
    EXPECT_EQ(text(51), "7");
    EXPECT_EQ(text(57), "Ein sehr langer Buchungstext"); // cut by the painter, measured
    EXPECT_EQ(text(100), "Eine sehr lange Bemerkung hier");
    EXPECT_EQ(text(160), "<none>"); // "0,00" leaves the cell empty
    EXPECT_EQ(text(185), "1,23 EUR");
    EXPECT_EQ(text(215), "<none>"); // a marker letter is not printed
    EXPECT_EQ(text(245), "5,00 EUR");
    EXPECT_EQ(text(285), "42,00 EUR");
    // The texts end where the next column begins: the remark, the first tax column.
    EXPECT_EQ(at(p, 35)[2]->clipAt, 100);
    EXPECT_EQ(at(p, 35)[3]->clipAt, 160);
    EXPECT_EQ(find(p, "Bon-Nr.")->x, 51); // the receipt-number heading follows its caption
    EXPECT_FALSE(find(p, "Beleg"));
    EXPECT_TRUE(find(p, "St. 19%"));
    EXPECT_TRUE(find(p, "Einnahme"));

    PrintSettings x = euro();
    x.noTax = true;
    doc = cashBookPages({r}, day(), x);
    const Page& q = doc.pages[0];
    EXPECT_EQ(at(q, 35)[3]->clipAt, 215); // without tax the remark may run up to the receipts
    EXPECT_FALSE(find(q, "St. 19%"));
    EXPECT_FALSE(find(q, "St. 7%"));
    EXPECT_FALSE(find(q, "1,23 EUR"));
    EXPECT_TRUE(find(q, "Eine sehr lange Bemerkung hier")); // whole
    for (const PageText& t : q.texts)
        EXPECT_FALSE(t.x == 160 || t.x == 185) << t.text.toStdString();
}

TEST(CashBookPrint, ABookingTextListingHasNoBalancesButItsTotalsRow) {
    ListingState s = day();
    s.kind = ListingKind::Kategorie;
    const PrintDocument doc = cashBookPages(rowsOf(3), s, euro());
    const Page& p = doc.pages[0];
    EXPECT_FALSE(find(p, "Kassenbuch vom 01.03.2024")); // no title for this kind
    EXPECT_TRUE(find(p, "Kassenbestand"));              // the heading stays
    for (double y : {35.0, 40.0, 45.0})
        for (const PageText* t : at(p, y))
            EXPECT_NE(t->x, 285);
    const PageText* last = find(p, "30,00 EUR");
    ASSERT_TRUE(last); // the totals row still prints the last balance
    EXPECT_TRUE(last->bold);
    s = day();
    s.selectedText = " alle";
    for (const PageText* t : at(cashBookPages(rowsOf(1), s, euro()).pages[0], 35))
        EXPECT_NE(t->x, 285);
}

// A counter-entry keeps no balance of its own: its row shows the cash after it all the same,
// in the printout and in the export alike, also as the first row of a day.
TEST(CashBookPrint, EveryRowShowsTheCashAfterItCounterEntriesIncluded) {
    test::TempBook book;
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "840,00", "");
    const qint64 storno = book.addLine("02.03.2024", "-190,00", "", "STORNO  Bareinnahme", "");
    book.addLine("02.03.2024", "", "25,00");
    book.addLine("02.03.2024", "-10,00", "", "STORNO  Bareinnahme", "");
    const Money floatAmount = Money::fromCents(5000);
    ASSERT_TRUE(RunningBalance::fullWalk(book.db(), floatAmount).ok());

    DataView day(&book.db(), "Buchungen", dayLinesSource(), {"02.03.2024"});
    ASSERT_TRUE(day.refresh());
    ASSERT_EQ(day.idAt(0), storno);
    const Money carried = balanceBefore(book.db(), "02.03.2024", storno, floatAmount);
    ASSERT_EQ(carried, Money::fromCents(89000));
    const std::vector<Money> expected{Money::fromCents(70000), Money::fromCents(67500),
                                      Money::fromCents(66500)};
    EXPECT_EQ(balancesAfter(day, carried), expected);
    const std::vector<PrintRow> rows = printRows(day, carried);
    ListingState s;
    s.dayDate = "02.03.2024";
    s.carriedIn = carried;
    const PrintDocument doc = cashBookPages(rows, s, euro());
    const Page& p = doc.pages[0];
    EXPECT_EQ(at(p, 35).back()->text, "700,00 EUR");
    EXPECT_EQ(at(p, 40).back()->text, "675,00 EUR");
    EXPECT_EQ(at(p, 45).back()->text, "665,00 EUR");
    EXPECT_TRUE(find(p, "665,00 EUR")); // the totals row: after the last row
    const QStringList csv = QString::fromLatin1(CsvExport::content(day, "19", "7", carried))
                                .split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(csv[i + 1].section(';', -1), expected[static_cast<size_t>(i)].toText());

    // The whole week: the counter-entry follows a line with a balance of its own.
    DataView week(&book.db(), "Buchungen", RunningBalance::allLinesSource());
    ASSERT_TRUE(week.refresh());
    const std::vector<Money> all = balancesAfter(week, floatAmount);
    EXPECT_EQ(all, (std::vector<Money>{Money::fromCents(89000), Money::fromCents(70000),
                                       Money::fromCents(67500), Money::fromCents(66500)}));
}

TEST(CountingProtocol, PositionsAndTheDateText) {
    TillFigures f;
    f.counts[0] = "3";
    f.lineTotals[0] = "1500,00";
    f.counts[13] = "7";
    f.lineTotals[13] = "0,14";
    f.expected = "-20,00";
    f.counted = "1500,14";
    f.difference = "1520,14";
    const PrintDocument doc =
        countingProtocol(f, "EUR", QDateTime(QDate(2024, 3, 2), QTime(18, 7, 59)));
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_FALSE(doc.landscape);
    const Page& p = doc.pages[0];
    const PageText* title = find(p, "Kassenaufnahme");
    ASSERT_TRUE(title);
    EXPECT_TRUE(title->bold);
    EXPECT_EQ(title->x, 30);
    EXPECT_EQ(title->y, 30);
    EXPECT_EQ(find(p, "Kassenbestand (soll):")->y, 160);
    EXPECT_EQ(find(p, "-20,00 EUR")->x, 180);
    EXPECT_EQ(find(p, "Zählprotokoll (ist):")->y, 167);
    EXPECT_EQ(find(p, "Differenz:")->y, 173);
    EXPECT_EQ(find(p, "Differenz:")->x, 160);
    EXPECT_EQ(find(p, "500,00 EUR")->y, 40); // the denomination "0.00 " + currency, right at 50
    EXPECT_EQ(find(p, "500,00 EUR")->x, 50);
    EXPECT_EQ(find(p, "0,01 EUR")->y, 138);
    EXPECT_EQ(find(p, "1500,00 EUR")->x, 81);
    EXPECT_EQ(find(p, "0,14 EUR")->y, 131);
    EXPECT_EQ(at(p, 47).size(), 4u); // no count, no total: count "", x, 200,00 EUR, =
    ASSERT_EQ(p.rules.size(), 2u);
    EXPECT_EQ(p.rules[0].y, 190);
    EXPECT_EQ(p.rules[1].y, 220);
    EXPECT_EQ(p.rules[0].x1, 20);
    EXPECT_EQ(p.rules[0].x2, 190);
    const PageText* when = find(p, "02.03.2024  18:07");
    ASSERT_TRUE(when);
    EXPECT_EQ(when->x, 20);
    EXPECT_EQ(when->y, 215);
    EXPECT_EQ(find(p, "Unterschrift")->x, 60);
}

TEST(PrinterChoice, TheCopiesRule) {
    EXPECT_EQ(copiesOf("2"), 2);
    EXPECT_EQ(copiesOf("2,7"), 2); // reading stops at the comma
    EXPECT_EQ(copiesOf("2.7"), 3);
    EXPECT_EQ(copiesOf("2.5"), 2); // halves to the even number
    EXPECT_EQ(copiesOf("3.5"), 4);
    EXPECT_EQ(copiesOf(""), 0);
    EXPECT_EQ(copiesOf("-1"), 0);
    EXPECT_EQ(copiesOf("x"), 0);
    EXPECT_EQ(copiesOf("999"), 999);
    EXPECT_GT(copiesOf("1000"), kMaxCopies); // refused by the window, not printed as none
    EXPECT_GT(copiesOf("99999999999"), kMaxCopies);
}
