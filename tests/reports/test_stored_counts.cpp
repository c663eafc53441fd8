// Kept till counts: the record, its entry in the change log, that it cannot be changed, and
// the counting protocol and list that name it.
#include "audit_trail.h"
#include "change_log.h"
#include "scripted_dialogs.h"
#include "stored_counts.h"
#include "temp_book.h"
#include "zaehlungen.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Counts : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 5), QTime(18, 2, 41))};
    TillCount::Texts counts{};
    void SetUp() override {
        counts[3] = "2";  // 2 × 50
        counts[8] = "3";  // 3 × 1,00
        counts[14] = "7"; // 7 × 0,01
    }
};

bool hasText(const PrintDocument& d, const QString& t, double x, double y) {
    for (const Page& p : d.pages)
        for (const PageText& i : p.texts)
            if (i.text == t && i.x == x && i.y == y)
                return true;
    return false;
}
} // namespace

TEST_F(Counts, AKeptCountIsARecordWithItsLogEntryAndStandsAsWritten) {
    const auto c = StoredCounts::store(book.db(), dialogs, clock, "04.03.2024", counts,
                                       Money::fromCents(10307), Money::fromCents(10627));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->title(), "Zählprotokoll Nr. 1 vom 05.03.2024 18:02");
    EXPECT_EQ(c->difference, Money::fromCents(-320));
    EXPECT_EQ(book.db().scalar("SELECT Zeit || '|' || Tag || '|' || Anzahl4 || '|' || Anzahl15 "
                               "|| '|' || Gezaehlt || '|' || Buchbestand || '|' || Differenz "
                               "FROM Zaehlungen;"),
              "05.03.2024 18:02:41|04.03.2024|2|7|103,07|106,27|-3,20");
    const LogEntry e = AuditTrail::read(book.db(), {}).back();
    EXPECT_EQ(e.kind, int(changelog::Kind::CountStored));
    EXPECT_EQ(e.ref, c->number);
    EXPECT_TRUE(e.after.contains("Differenz=-3,20"));
    // Neither changed nor deleted afterwards; a new count is a new record.
    EXPECT_FALSE(book.db().exec("UPDATE Zaehlungen SET Differenz = '0,00';"));
    EXPECT_FALSE(book.db().exec("DELETE FROM Zaehlungen;"));
    const auto next = StoredCounts::store(book.db(), dialogs, clock, "05.03.2024", counts,
                                          Money::fromCents(10307), Money::fromCents(10307));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->number, 2);
    ASSERT_EQ(StoredCounts::read(book.db()).size(), 2u);
    EXPECT_EQ(StoredCounts::read(book.db(), QDate(2024, 3, 5), QDate(2024, 3, 5)).size(), 1u);
    EXPECT_EQ(StoredCounts::differenceQuestion(c->difference),
              QString::fromUtf8("Differenz von −3,20 EUR als Buchung übernehmen ?"));
}

TEST_F(Counts, AFailedStoreSaysSoAndKeepsNothing) {
    book.db().exec("CREATE TRIGGER full BEFORE INSERT ON Zaehlungen BEGIN "
                   "SELECT RAISE(ABORT, 'voll'); END;");
    EXPECT_FALSE(
        StoredCounts::store(book.db(), dialogs, clock, "04.03.2024", counts, Money(), Money()));
    EXPECT_TRUE(dialogs.last().text.startsWith("Die Zählung konnte nicht gespeichert werden."));
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Zaehlungen;"), "0");
}

TEST_F(Counts, TheProtocolAndTheListNameTheKeptCount) {
    const auto c = StoredCounts::store(book.db(), dialogs, clock, "04.03.2024", counts,
                                       Money::fromCents(10307), Money::fromCents(10627));
    ASSERT_TRUE(c);
    const PrintDocument p = Zaehlungen::protocolOf(*c, "EUR");
    EXPECT_TRUE(hasText(p, "Zählprotokoll Nr. 1 vom 05.03.2024 18:02", 80, 30));
    EXPECT_TRUE(hasText(p, "100,00 EUR", 81, 61)); // line 4: 2 × 50
    EXPECT_TRUE(hasText(p, "-3,20 EUR", 180, 173));
    EXPECT_TRUE(hasText(p, "05.03.2024  18:02", 20, 215));
    const PrintDocument list = Zaehlungen::listPages(StoredCounts::read(book.db()));
    EXPECT_TRUE(hasText(list, "-3,20", 190, 35));
    EXPECT_EQ(Zaehlungen::csv(StoredCounts::read(book.db())),
              QString("Nr.;Zeitpunkt;Tag;gezählt;Buchbestand;Differenz\r\n"
                      "1;05.03.2024 18:02:41;04.03.2024;103,07;106,27;-3,20\r\n"));
}
