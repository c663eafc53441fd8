#include "csv_export.h"
#include "csv_fields.h"
#include "data_correction.h"
#include "listings.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

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
    line("", "ohne Datum", "");
    book.db().exec("INSERT INTO Buchungen (n1, a10) VALUES ('null', NULL);");
    EXPECT_EQ(listings.listPeriod(grid, dialogs), Listings::Outcome::Corrected);
    EXPECT_EQ(dialogs.last().text,
              "Daten korrigiert\n2 Zeilen ohne Datum entfernt, 1 Datumsschlüssel neu geschrieben.");
    EXPECT_EQ(dialogs.last().title, "Merowa");
    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    EXPECT_EQ(listed(), QStringList({"gut"})); // every line, in storage order
    EXPECT_EQ(grid.source(), "Select * from Buchungen ");
}

TEST_F(Lists, AnUndatedLineWithAnAmountGoesOnlyWhenTheOperatorSaysSo) {
    line("01.03.2024", "gut");
    line("", "leer", "");
    const qint64 money = line("", "Kasse", "250,00");
    book.db().exec(QStringLiteral("UPDATE Buchungen SET a8 = '17' WHERE ID = %1;").arg(money));
    book.db().exec("INSERT INTO Buchungen (n1, a5, a10) VALUES ('Porto', '4,80', NULL);");
    book.db().exec("INSERT INTO Buchungen (n1, a4, a10) VALUES ('Marke', 'K', '');");

    dialogs.answers = {Answer::No};
    const DataCorrection::Report kept = DataCorrection::run(grid, dialogs);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Diese Zeilen haben kein Datum, tragen aber einen Betrag:\n\n"
              "Beleg 17  Kasse  Einnahme 250,00\nBeleg -  Porto  Ausgabe 4,80\n\n"
              "Sollen diese Zeilen mit ihren Beträgen gelöscht werden ?");
    EXPECT_EQ(dialogs.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(kept.removed, 2); // without an amount ("K" is none)
    EXPECT_EQ(kept.kept, 2);
    EXPECT_TRUE(dialogs.last().text.endsWith("\n2 Zeilen ohne Datum mit Betrag wurden behalten."));
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "3");

    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(DataCorrection::run(grid, dialogs).removed, 2);
    EXPECT_EQ(book.db().scalar("SELECT group_concat(n1) FROM Buchungen;"), "gut");
}

TEST_F(Lists, TheCorrectionRebuildsKeysByPositionAndRunTwiceChangesNothing) {
    const qint64 a = line("06.12.2026", "a");
    const qint64 b = line("6.12.2026", "b");
    book.db().exec(QStringLiteral("UPDATE Buchungen SET a15 = '' WHERE ID = %1;").arg(a));
    book.db().exec(
        QStringLiteral("UPDATE Buchungen SET a11 = 'falsch', a15 = '17,00' WHERE ID = %1;").arg(b));
    const DataCorrection::Report first = DataCorrection::correct(book.db());
    EXPECT_TRUE(first.ok());
    EXPECT_EQ(first.rebuilt, 2);
    EXPECT_EQ(first.filled, 1);
    EXPECT_EQ(book.lineValue(a, "a11"), "20261206");
    EXPECT_EQ(book.lineValue(b, "a11"), "0262.6."); // the same positions, no check
    EXPECT_EQ(book.lineValue(a, "a15"), "0");
    EXPECT_EQ(book.lineValue(b, "a15"), "17,00");
    const DataCorrection::Report second = DataCorrection::correct(book.db());
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(second.removed + second.rebuilt + second.filled, 0);
}

TEST_F(Lists, TheCorrectionIsAllOrNothing) {
    line("", "weg", "");
    line("01.03.2024", "bleibt");
    book.db().exec("CREATE TRIGGER no_delete BEFORE DELETE ON Buchungen BEGIN "
                   "SELECT RAISE(ABORT, 'nein'); END;");
    const DataCorrection::Report r = DataCorrection::run(grid, dialogs);
    EXPECT_FALSE(r.ok());
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
    // A text listing is named by its text; what no file name may hold becomes "_".
    period.kind = ListingKind::Kategorie;
    period.selectedText = "Zins";
    EXPECT_EQ(CsvExport::fileName(period), "Kassenbuch Zins.csv");
    period.selectedText = " Miete 3/24: \"Lager\" <Nord>|*?. ";
    EXPECT_EQ(CsvExport::fileName(period), "Kassenbuch Miete 3_24_ _Lager_ _Nord____.csv");
    period.selectedText = " alle";
    EXPECT_EQ(CsvExport::baseName(period) + ".pdf", "Kassenbuch alle.pdf");
    period.selectedText = "/";
    EXPECT_EQ(CsvExport::fileName(period), "Kassenbuch _.csv");
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

// The chosen name is the open book, a copy of it, or a link to it: nothing is written there.
TEST_F(Lists, TheExportNeverTakesThePlaceOfTheBook) {
    line("06.12.2026", "x", "1,00");
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    QTemporaryDir work, target;
    const QString link = target.path() + "/Kasse.csv";
    ASSERT_TRUE(QFile::link(book.path(), link));
    const QByteArray before = [&] {
        QFile f(book.path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    for (const QString& chosen :
         {book.path(), target.path() + "/Tillbook.KA3", target.path() + "/alt.kas", link}) {
        dialogs.files = {chosen};
        EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", book.path(), work.path(),
                                 dialogs),
                  CsvExport::Outcome::Cancelled)
            << chosen.toStdString();
        EXPECT_EQ(dialogs.last().text, "Die Datei\n" + chosen +
                                           "\nist ein Kassenbuch oder dessen Sicherung; die "
                                           "CSV-Datei wird nicht an ihre Stelle geschrieben.\n\n"
                                           "Es wurde keine Datei geschrieben.");
    }
    EXPECT_FALSE(QFile::exists(target.path() + "/Tillbook.KA3"));
    EXPECT_FALSE(QFile::exists(target.path() + "/alt.kas"));
    QFile f(book.path());
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(Lists, FormulasArriveAsTextAndLostCharactersAreNamedOnce) {
    line("06.12.2026", "=SUMME(1;2)", "12,50");
    const qint64 minus = line("06.12.2026", "@Kasse", "", "", "O");
    book.db().exec(
        QStringLiteral("UPDATE Buchungen SET a5 = '-2,00', n2 = '+49 171 Ω' WHERE ID = %1;")
            .arg(minus));
    line("06.12.2026", "Spende ☃ und 😀", "1,00");
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    const QByteArray bytes = CsvExport::content(grid, "19", "7", Money());
    // Text fields get an apostrophe in front; amounts stay numbers, "-2,00" included.
    EXPECT_TRUE(bytes.contains("\r\n06.12.2026;;\"'=SUMME(1;2)\";;;;12,50;;0,00\r\n"));
    EXPECT_TRUE(bytes.contains("\r\n06.12.2026;;'@Kasse;'+49 171 ?;;;;-2,00;0,00\r\n"));

    QTemporaryDir work, target;
    dialogs.files = {target.path() + "/k.csv"};
    ASSERT_EQ(
        CsvExport::run(grid, dayState("06.12.2026"), "19", "7", book.path(), work.path(), dialogs),
        CsvExport::Outcome::Saved);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.last().text,
              "Die Datei wurde gespeichert. Diese Zeichen gibt es im Zeichensatz der CSV-Datei "
              "(Windows-1252) nicht, sie stehen dort als \"?\": Ω☃😀");
    EXPECT_EQ(dialogs.last().title, "CSV-Export");
}

TEST_F(Lists, AFullDiskLeavesNothingUnderTheChosenName) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    QTemporaryDir dir, target;
    const QString disk = dir.path() + "/cache";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    {
        Transaction t(book.db());
        for (int i = 0; i < 3000; ++i)
            line("06.12.2026", QStringLiteral("Wareneinkauf %1").arg(i), "12,50");
        t.commit();
    }
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    ASSERT_GT(CsvExport::content(grid, "19", "7", Money()).size(), 64 * 1024);
    // An older working file of the same name lies there: it is never copied instead.
    const QString stale = disk + "/Kassenbuch vom 06.12.2026.csv";
    QFile old(stale);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("Datum;alt\r\n");
    old.close();
    const QString chosen = target.path() + "/Kasse.csv";
    dialogs.files = {chosen};
    EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", book.path(), disk, dialogs),
              CsvExport::Outcome::Failed);
    EXPECT_EQ(dialogs.last().text, "Die Datei konnte nicht gespeichert werden !\nbitte Ursache "
                                   "beheben - Fehler 28 Der Datenträger ist voll. (" +
                                       QString::fromLocal8Bit(strerror(ENOSPC)) + ")");
    EXPECT_TRUE(dialogs.fileDialogs.empty()); // nothing was offered
    EXPECT_FALSE(QFile::exists(chosen));
    EXPECT_EQ(QDir(disk).entryList(QDir::Files), QStringList{"Kassenbuch vom 06.12.2026.csv"});

    // The working file whole, the chosen place full: nothing there either.
    QFile::remove(stale);
    dialogs.files = {disk + "/Kasse.csv"};
    EXPECT_EQ(CsvExport::run(grid, dayState("06.12.2026"), "19", "7", book.path(), target.path(),
                             dialogs),
              CsvExport::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.contains("Fehler 28 "));
    EXPECT_TRUE(QDir(disk).entryList(QDir::Files).isEmpty());
    umount(QFile::encodeName(disk).constData());
}

// A spreadsheet reads the export back: every field in its column, texts that look like a
// formula as texts, the amounts as numbers. LibreOffice converts the file headless, with the
// evaluation of formulas switched on as a careless import would have it.
TEST_F(Lists, ASpreadsheetReadsFormulaLikeTextsAsText) {
    const QString office = QStandardPaths::findExecutable("soffice");
    if (office.isEmpty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed";
    line("06.12.2026", "=SUMME(1;2)", "12,50");
    const qint64 l = line("06.12.2026", "-Rabatt", "");
    book.db().exec(
        QStringLiteral("UPDATE Buchungen SET a5 = '2,00', n2 = '@A1' WHERE ID = %1;").arg(l));
    grid.setSource("Select * from Buchungen WHERE a10 = (?)Order by ID;", {"06.12.2026"});
    grid.refresh();
    QTemporaryDir dir;
    QFile csv(dir.path() + "/k.csv");
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(CsvExport::content(grid, "19", "7", Money()));
    csv.close();
    QProcess lo;
    lo.setProcessChannelMode(QProcess::MergedChannels);
    lo.start(office, {"-env:UserInstallation=file://" + dir.path() + "/profile", "--headless",
                      "--norestore",
                      // ";", '"', Windows-1252, from line 1, German, ..., evaluate formulas
                      "--infilter=CSV:59,34,1,1,,1031,false,false,false,false,false,false,true",
                      "--convert-to", "fods", "--outdir", dir.path(), csv.fileName()});
    ASSERT_TRUE(lo.waitForFinished(240000)) << "LibreOffice did not finish";
    QFile fods(dir.path() + "/k.fods");
    ASSERT_TRUE(fods.open(QIODevice::ReadOnly)) << lo.readAll().toStdString();
    // The cells of the table, row by row: formula cells marked as such.
    QStringList cells;
    QXmlStreamReader xml(&fods);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("table-cell"))
            continue;
        const QString type = xml.attributes().value("office:value-type").toString();
        const bool formula = xml.attributes().hasAttribute("table:formula");
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        if (!type.isEmpty())
            cells << (formula ? "FORMEL " : type + " ") + text;
    }
    EXPECT_FALSE(cells.join('|').contains("FORMEL")) << cells.join('|').toStdString();
    EXPECT_TRUE(cells.contains("string '=SUMME(1;2)")) << cells.join('|').toStdString();
    EXPECT_TRUE(cells.contains("string '-Rabatt")) << cells.join('|').toStdString();
    EXPECT_TRUE(cells.contains("string '@A1"));
    EXPECT_TRUE(cells.contains("float 12,5") || cells.contains("float 12.5"));
    EXPECT_TRUE(cells.contains("float 2") || cells.contains("float 2,00"));
}
