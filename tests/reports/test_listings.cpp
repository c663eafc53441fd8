#include "csv_export.h"
#include "csv_fields.h"
#include "data_correction.h"
#include "listings.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Lists : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    DataView grid{&book.db(),
                  "Buchungen",
                  "Select * from Buchungen WHERE a10 = (?)Order by ID;",
                  {"01.03.2024"}};
    Listings listings;

    qint64 line(const QString& date, const QString& text, const QString& in = "1,00",
                const QString& status = "", const QString& open = "O") {
        Statement st = book.db().prepare(
            "INSERT INTO Buchungen (a1, n1, a4, a10, a11, a12, a15) VALUES (?, ?, ?, ?, '', ?, "
            "'0');");
        st.bindAll({status, text, in, date, open});
        st.run();
        return book.db().lastInsertId();
    }
    QStringList listed(const char* column = "n1") {
        QStringList out;
        for (int r = 0; r < grid.recordCount(); ++r)
            out << grid.valueAt(r, column);
        return out;
    }
};
} // namespace

TEST_F(Lists, PeriodBoundsAreInclusiveAndOrderedByDateParts) {
    line("31.12.2099", "Ende");
    line("01.01.2012", "Anfang");
    line("31.12.2023", "Silvester");
    line("01.01.2024", "Neujahr");
    line("31.12.2011", "davor");
    listings.setPeriod("01.01.2012", "31.12.2099");
    ASSERT_EQ(listings.listPeriod(grid, dialogs), Listings::Outcome::Listed);
    EXPECT_EQ(listings.kindText(), "Auswahl");
    EXPECT_EQ(listed(), QStringList({"Anfang", "Silvester", "Neujahr", "Ende"}));
    listings.setPeriod("31.12.2023", "01.01.2024");
    listings.listPeriod(grid, dialogs);
    EXPECT_EQ(listed(), QStringList({"Silvester", "Neujahr"}));
    listings.setPeriod("02.01.2024", "01.01.2024"); // start after end: an empty list
    listings.listPeriod(grid, dialogs);
    EXPECT_EQ(grid.recordCount(), 0);
}

TEST_F(Lists, AMalformedDateGetsItsKeyFromTheLeadingDigits) {
    line("6.12.2026", "kurz"); // 026 * 10000 + 2 * 100 + 6 = 260206
    line("01.03.2024", "normal");
    listings.setPeriod("01.01.0020", "31.12.0030");
    listings.listPeriod(grid, dialogs);
    EXPECT_EQ(listed(), QStringList({"kurz"}));
}

TEST_F(Lists, ALineWithoutDateRunsTheCorrectionInstead) {
    line("01.03.2024", "gut");
    line("", "ohne Datum");
    book.db().exec("INSERT INTO Buchungen (n1, a10) VALUES ('null', NULL);");
    EXPECT_EQ(listings.listPeriod(grid, dialogs), Listings::Outcome::Corrected);
    EXPECT_EQ(dialogs.last().text,
              "Daten korrigiert\n2 Zeilen ohne Datum entfernt, 1 Datumsschlüssel neu geschrieben.");
    EXPECT_EQ(dialogs.last().title, "Merowa");
    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    EXPECT_EQ(listed(), QStringList({"gut"})); // every line, in storage order
    EXPECT_EQ(grid.source(), "Select * from Buchungen ");
}

TEST_F(Lists, TheCorrectionRebuildsKeysByPositionAndRunTwiceChangesNothing) {
    const qint64 a = line("06.12.2026", "a");
    const qint64 b = line("6.12.2026", "b");
    book.db().exec(QStringLiteral("UPDATE Buchungen SET a15 = '' WHERE ID = %1;").arg(a));
    book.db().exec(
        QStringLiteral("UPDATE Buchungen SET a11 = 'falsch', a15 = '17,00' WHERE ID = %1;").arg(b));
    const DataCorrection::Result first = DataCorrection::correct(book.db());
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.rebuilt, 2);
    EXPECT_EQ(first.filled, 1);
    EXPECT_EQ(book.lineValue(a, "a11"), "20261206");
    EXPECT_EQ(book.lineValue(b, "a11"), "0262.6."); // the same positions, no check
    EXPECT_EQ(book.lineValue(a, "a15"), "0");
    EXPECT_EQ(book.lineValue(b, "a15"), "17,00");
    const DataCorrection::Result second = DataCorrection::correct(book.db());
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.removed + second.rebuilt + second.filled, 0);
}

TEST_F(Lists, TheCorrectionIsAllOrNothing) {
    line("", "weg");
    line("01.03.2024", "bleibt");
    book.db().exec("CREATE TRIGGER no_delete BEFORE DELETE ON Buchungen BEGIN "
                   "SELECT RAISE(ABORT, 'nein'); END;");
    const DataCorrection::Result r = DataCorrection::run(grid, dialogs);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(dialogs.last().text.startsWith("Daten korrigiert\n"));
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen WHERE a11 = '20240301';"), "0");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "2");
}

TEST_F(Lists, BookingTextListingBindsTheTextAndTakesOpenLinesOnly) {
    listings.setPeriod("01.01.2012", "31.12.2099");
    const QString odd = "Müller \"Bau\"; 50% _x' OR 1=1 --";
    line("01.03.2024", odd);
    line("02.03.2024", odd, "2,00", "S");                        // cancelled: still an open line
    line("03.03.2024", "STORNO  " + odd, "-2,00", "Storno", ""); // counter-entry: no open mark
    line("02.03.2024", "Müller");
    line("04.03.2024", odd, "3,00", "", ""); // done
    ASSERT_EQ(listings.listText(grid, odd, dialogs), Listings::Outcome::Listed);
    EXPECT_EQ(listings.kindText(), "Kategorie");
    EXPECT_EQ(listed("a4"), QStringList({"1,00", "2,00"}));
    listings.listPeriod(grid, dialogs);
    EXPECT_EQ(grid.recordCount(), 5); // "S" and "Storno" in the period listing
    // " alle": the whole period, the kind still "Kategorie".
    listings.listText(grid, " alle", dialogs);
    EXPECT_EQ(grid.recordCount(), 5);
    EXPECT_EQ(listings.kindText(), "Kategorie");
    EXPECT_EQ(listings.listText(grid, "", dialogs), Listings::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text, "Bitte selektieren Sie zunächst den Kunden");
    EXPECT_EQ(dialogs.last().title, "Merowa");
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
}

TEST_F(Lists, AllTimesResetsThePeriodAndListsNothingYet) {
    line("01.03.2024", "x");
    grid.refresh();
    listings.setPeriod("01.02.2024", "29.02.2024");
    listings.allTimes();
    EXPECT_EQ(listings.periodStart(), "01.01.2012");
    EXPECT_EQ(listings.periodEnd(), "31.12.2099");
    EXPECT_EQ(listings.kindText(), "alle");
    EXPECT_EQ(grid.recordCount(), 1); // the grid shows what it showed
    QDate d;
    EXPECT_FALSE(listings.pickStart(dialogs, FixedClock(QDateTime(QDate(2024, 3, 2), QTime()))));
    EXPECT_EQ(listings.kindText(), "Zeitraum");
    EXPECT_EQ(listings.periodStart(), "01.01.2012");
}

TEST_F(Lists, CarriedInOfAListingIsTheBalanceBeforeItsFirstLine) {
    line("01.03.2024", "a", "100,00");
    line("02.03.2024", "b", "50,00");
    const qint64 storno = line("02.03.2024", "STORNO  a", "-100,00", "Storno", "");
    book.db().exec(QStringLiteral("UPDATE Buchungen SET a15 = '' WHERE ID = %1;").arg(storno));
    line("03.03.2024", "c", "7,00");
    RunningBalance::fullWalk(book.db(), Money::fromCents(15000));
    listings.setPeriod("02.03.2024", "03.03.2024");
    listings.listPeriod(grid, dialogs);
    EXPECT_EQ(Listings::carriedIn(grid, book.db(), Money::fromCents(15000))->toText(), "250,00");
    // A first line without a balance of its own: what the lines before it leave.
    book.db().exec(QStringLiteral("DELETE FROM Buchungen WHERE n1 = 'b';"));
    grid.refresh();
    ASSERT_EQ(grid.idAt(0), storno);
    EXPECT_EQ(Listings::carriedIn(grid, book.db(), Money::fromCents(15000))->toText(), "250,00");
    listings.setPeriod("01.01.2030", "31.12.2030");
    listings.listPeriod(grid, dialogs);
    EXPECT_FALSE(Listings::carriedIn(grid, book.db(), {}).has_value());
}

namespace {
ListingState dayState(const QString& day) {
    ListingState s;
    s.kind = ListingKind::Tag;
    s.dayDate = day;
    return s;
}
} // namespace

TEST_F(Lists, ExportBytesHeadingRowsCarriedBalanceAndCodePage) {
    line("06.12.2026", "Bareinnahme Café", "12,50");
    const qint64 storno = line("06.12.2026", "Spende € 😀", "-2,00", "Storno", "");
    book.db().exec(QStringLiteral("UPDATE Buchungen SET a15 = '' WHERE ID = %1;").arg(storno));
    book.db().exec("UPDATE Buchungen SET a15 = '162,50', a8 = '7', a14 = '2,00', n2 = 'Tür' "
                   "WHERE n1 LIKE 'Bar%';");
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    const QByteArray bytes = CsvExport::content(grid, "19", "7", Money::fromCents(15000));
    const QByteArray expected =
        "Datum;Beleg;Buchungstext;Bemerkung;Steuer 19%;Steuer 7%;Einnahmen;Ausgaben;"
        "Kassenbestand\r\n"
        "06.12.2026;7;Bareinnahme Caf\xe9;T\xfcr;2,00;;12,50;;162,50\r\n"
        "06.12.2026;;Spende \x80 ?;;;;-2,00;;160,50\r\n"; // the cash after the counter-entry
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(CsvExport::fileName(dayState("06.12.2026")), "Kassenbuch vom 06.12.2026.csv");
    ListingState period;
    period.kind = ListingKind::Auswahl;
    period.periodStart = "01.01.2024";
    period.periodEnd = "31.12.2024";
    EXPECT_EQ(CsvExport::fileName(period), "Kassenbuch 01.01.2024 bis 31.12.2024.csv");
    for (ListingKind k : {ListingKind::Alle, ListingKind::Kategorie, ListingKind::Zeitraum}) {
        period.kind = k;
        EXPECT_EQ(CsvExport::fileName(period), ".csv");
    }
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"07.12.2026"});
    grid.refresh();
    EXPECT_EQ(CsvExport::content(grid, "16", "5", Money()),
              "Datum;Beleg;Buchungstext;Bemerkung;Steuer 16%;Steuer 5%;Einnahmen;Ausgaben;"
              "Kassenbestand\r\n");
}

TEST_F(Lists, ASemicolonInATextIsQuotedAndEveryFieldComesBack) {
    line("06.12.2026", "Miete; Lager \"Nord\"", "10,00");
    book.db().exec("UPDATE Buchungen SET n2 = 'zwei\nZeilen';");
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    const QString text =
        QString::fromLatin1(CsvExport::content(grid, "19", "7", Money::fromCents(15000)));
    const QString row = text.mid(text.indexOf("\r\n") + 2);
    const QStringList fields = test::csvFields(row);
    ASSERT_EQ(fields.size(), 9);
    EXPECT_EQ(fields[2], "Miete; Lager \"Nord\"");
    EXPECT_EQ(fields[3], "zwei\nZeilen");
    EXPECT_EQ(fields[6], "10,00");
    EXPECT_EQ(fields[8], "0,00");
}

TEST_F(Lists, TheExportAsksWhereAndCopiesSafely) {
    line("06.12.2026", "x", "1,00");
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    QTemporaryDir work, target;
    const QString data = book.folder() + "/Tillbook.kas";
    // Cancelled: nothing is written there and nothing said.
    EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", data, work.path(), dialogs),
              CsvExport::Outcome::Cancelled);
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].preset, book.folder() + "/Kassenbuch vom 06.12.2026.csv");
    EXPECT_TRUE(QFile::exists(work.path() + "/Kassenbuch vom 06.12.2026.csv")); // the working file
    // An existing file at the chosen place is replaced whole.
    const QString chosen = target.path() + "/Kasse.csv";
    QFile old(chosen);
    old.open(QIODevice::WriteOnly);
    old.write("alt");
    old.close();
    dialogs.files = {chosen};
    EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", data, work.path(), dialogs),
              CsvExport::Outcome::Saved);
    QFile f(chosen);
    f.open(QIODevice::ReadOnly);
    EXPECT_TRUE(f.readAll().startsWith("Datum;Beleg;"));
    EXPECT_FALSE(QFile::exists(chosen + ".tmp-copy"));
    dialogs.files = {target.path() + "/fehlt/Kasse.csv"};
    EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", data, work.path(), dialogs),
              CsvExport::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Die Datei konnte nicht gespeichert werden !\nbitte Ursache beheben - Fehler 2 "));
}
