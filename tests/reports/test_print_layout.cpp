#include "print_layout.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
std::vector<PrintRow> rowsOf(int n) {
    std::vector<PrintRow> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({"01.03.2024", QString::number(i + 1), "Bareinnahme", "", "", "", "10,00",
                        "", Money::fromCents(1000 * (i + 1)).toText()});
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
    Money b;
    PrintDocument doc = cashBookPages(rowsOf(31), day(), euro(), b);
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

    b = {};
    doc = cashBookPages(rowsOf(32), day(), euro(), b);
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
               ""};
    Money b = Money::fromCents(4200);
    PrintDocument doc = cashBookPages({r}, day(), euro(), b);
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
    EXPECT_EQ(text(57), "Ein sehr langer Buch"); // 20 characters
    EXPECT_EQ(text(100), "Eine sehr lange Beme");
    EXPECT_EQ(text(160), "<none>"); // "0,00" leaves the cell empty
    EXPECT_EQ(text(185), "1,23 EUR");
    EXPECT_EQ(text(215), "<none>"); // a marker letter is not printed
    EXPECT_EQ(text(245), "5,00 EUR");
    EXPECT_EQ(text(285), "42,00 EUR"); // no balance of its own: the one before
    EXPECT_TRUE(find(p, "St. 19%"));
    EXPECT_TRUE(find(p, "Einnahme"));

    PrintSettings x = euro();
    x.noTax = true;
    doc = cashBookPages({r}, day(), x, b);
    const Page& q = doc.pages[0];
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
    Money b;
    const PrintDocument doc = cashBookPages(rowsOf(3), s, euro(), b);
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
    b = {};
    for (const PageText* t : at(cashBookPages(rowsOf(1), s, euro(), b).pages[0], 35))
        EXPECT_NE(t->x, 285);
}

TEST(CashBookPrint, CopiesAreIdenticalAndTheBalanceIsNotReset) {
    std::vector<PrintRow> rows = rowsOf(2);
    rows[0].balance.clear();
    rows[1].balance.clear();
    Money b = Money::fromCents(500);
    const PrintDocument first = cashBookPages(rows, day(), euro(), b);
    const PrintDocument second = cashBookPages(rows, day(), euro(), b);
    ASSERT_EQ(first.pages.size(), second.pages.size());
    ASSERT_EQ(first.pages[0].texts.size(), second.pages[0].texts.size());
    for (size_t i = 0; i < first.pages[0].texts.size(); ++i) {
        EXPECT_EQ(first.pages[0].texts[i].text, second.pages[0].texts[i].text);
        EXPECT_EQ(first.pages[0].texts[i].y, second.pages[0].texts[i].y);
    }
    EXPECT_EQ(b, Money::fromCents(500));
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
}
