#include "advisor_batch.h"
#include "cash_file.h"
#include "child.h"
#include "cp1252.h"
#include "csv_fields.h"
#include "export_file.h"
#include "period_lines.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace tb;

namespace {

// The fields of one line of the batch, read from Windows-1252.
QStringList fieldsOf(const QByteArray& line) {
    return test::csvFields(fromCp1252(line));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Batch : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 2, 5), QTime(14, 30, 15, 123))};
    QTemporaryDir out;

    qint64 line(const QString& date, const QString& text, const QString& remark,
                const QString& receipt, const QString& payment, const QString& rate,
                const QString& number, const QString& status = {}, const QString& vat1 = {}) {
        Statement st =
            book.db().prepare("INSERT INTO Buchungen (a1, n1, n2, a4, a5, a6, a8, a10, a14, a15) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, '0');");
        st.bindAll({status, text, remark, receipt, payment, rate, number, date, vat1});
        st.run();
        return book.db().lastInsertId();
    }
    // The numbers the batch cannot do without, and the accounts of some texts.
    void accounts(std::vector<TextAccount> texts = {}, const QString& fyDay = "1",
                  const QString& fyMonth = "1") {
        AdvisorSettings s;
        s.advisor = "29098";
        s.client = "55003";
        s.fyDay = fyDay;
        s.fyMonth = fyMonth;
        s.texts = std::move(texts);
        ASSERT_EQ(AdvisorAccounts(book.db(), dialogs).save(s), AdvisorAccounts::Outcome::Saved);
    }
    AdvisorBatch::Outcome run(const QString& start, const QString& end) {
        AdvisorBatch batch(book.db(), dialogs, clock);
        return batch.run(start, end, out.path());
    }
    QStringList filesInOut() const {
        return QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

// The known book of the hand-written file: receipts and payments at both rates, a text with
// an account of its own (with and without a tax key, automatic or not), a line with receipt
// and payment, a counter-entry, a hotel bill at two rates, a text longer than 60 characters
// with a character Windows-1252 lacks, and two lines that are left out.
void knownBook(Batch& b) {
    b.accounts({{"Bürobedarf", "4930", false, ""},
                {"Porto", "4910", false, ""},
                {"Privatentnahme", "1800", false, ""},
                {"Wareneinkauf Obst", "3300", true, ""},
                {"Anzahlung", "1718", false, "3"},
                {"Hotelrechnung Berlin", "4670", false, ""}});
    b.line("02.01.2024", "Bareinnahme", "", "119,00", "", "19", "1");
    b.line("02.01.2024", "Bareinnahme", "Kunde \"Müller\" – Café", "53,50", "", "7", "2");
    b.line("02.01.2024", "Wareneinkauf Obst", "", "", "10,70", "7", "3");
    b.line("02.01.2024", "Bürobedarf", "Druckerpapier", "", "23,80", "19", "4");
    b.line("02.01.2024", "Bareinnahme", "", "K", "", "19", "5");
    b.line("02.01.2024", "Porto", "", "", "8,50", "0", "6");
    b.line("15.01.2024", "Bareinnahme", "Wechselgeld", "50,00", "20,00", "19", "7");
    b.line("15.01.2024", "Privatentnahme", "", "", "200,00", "0", "8");
    b.line("15.01.2024", "Notiz", "ohne Betrag", "", "", "0", "9");
    b.line("15.01.2024", "Bürobedarf",
           "Toner Ω-Serie für 3,95 € je Stück, Lieferung 3 von 4 an das Büro Nord", "", "11,90",
           "19", "10");
    b.line("15.01.2024", "Anzahlung", "", "100,00", "", "0", "11");
    b.line("15.01.2024", "Bareinnahme", "", "119,00", "", "19", "12", "S");
    b.line("16.01.2024", "STORNO  Bareinnahme", "Beleg 12 vom 15.01.2024", "-119,00", "", "19",
           "13", "Storno");
    b.line("16.01.2024", "Hotelrechnung Berlin", "", "", "150,00", "19/7", "14", "", "-4,79");
    // Outside the period: not in the file.
    b.line("01.02.2024", "Bareinnahme", "", "1,00", "", "19", "15");
    b.line("31.12.2023", "Bareinnahme", "", "2,00", "", "19", "16");
}

} // namespace

TEST_F(Batch, TheBatchOfAKnownBookIsTheHandWrittenFile) {
    knownBook(*this);
    const QString target = out.path() + "/EXTF_Buchungsstapel_20240101_20240131.csv";
    dialogs.files = {target};
    ASSERT_EQ(run("01.01.2024", "31.01.2024"), AdvisorBatch::Outcome::Written)
        << dialogs.last().text.toStdString();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Export für den Steuerberater");
    EXPECT_EQ(dialogs.fileDialogs[0].preset, target);

    const QByteArray written = readAll(target);
    const QByteArray expected = readAll(TB_FIXTURES "/EXTF_Buchungsstapel_20240101_20240131.csv");
    ASSERT_FALSE(expected.isEmpty());
    const QList<QByteArray> got = written.split('\n');
    const QList<QByteArray> want = expected.split('\n');
    ASSERT_EQ(got.size(), want.size());
    for (int l = 0; l < want.size(); ++l) {
        // Every line ends in CR LF (the last split piece is the empty rest after it).
        EXPECT_EQ(got[l].endsWith('\r'), l < want.size() - 1) << "line " << l + 1;
        const QStringList g = fieldsOf(got[l].chopped(got[l].endsWith('\r') ? 1 : 0));
        const QStringList w = fieldsOf(want[l].chopped(want[l].endsWith('\r') ? 1 : 0));
        EXPECT_EQ(g.size(), w.size()) << "line " << l + 1;
        for (int f = 0; f < std::min(g.size(), w.size()); ++f)
            EXPECT_EQ(g[f].toStdString(), w[f].toStdString())
                << "line " << l + 1 << ", field " << f + 1;
    }
    // The same bytes: quoting, Windows-1252, line ends.
    EXPECT_EQ(written, expected);
    EXPECT_EQ(fieldsOf(want[0]).size(), 31);
    EXPECT_EQ(fieldsOf(want[1]).size(), 125);
    EXPECT_EQ(filesInOut(), QStringList({"EXTF_Buchungsstapel_20240101_20240131.csv"}));

    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    EXPECT_EQ(dialogs.last().text,
              "Der Buchungsstapel für den Steuerberater wurde geschrieben:\n" + target +
                  "\n(14 Buchungen, 01.01.2024 bis 31.01.2024)\n\n12 Zeilen des Kassenbuchs als "
                  "14 Buchungen übernommen (eine Zeile mit Einnahme und Ausgabe oder mit zwei "
                  "Steuersätzen ergibt zwei Buchungen).\n\nNicht übernommen:\n1 Zeile mit einem "
                  "Kennbuchstaben (K, U, S, Ü) in einer Betragsspalte\n1 Zeile ohne Betrag\n\n"
                  "Diese Zeichen kennt der Zeichensatz Windows-1252 nicht; in der Datei steht "
                  "dafür „?“: Ω");
}

TEST_F(Batch, RefusalsNameWhatIsMissingAndWriteNothing) {
    line("02.01.2024", "Bareinnahme", "", "10,00", "", "19", "1");
    // Neither number yet.
    EXPECT_EQ(run("01.01.2024", "31.12.2024"), AdvisorBatch::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für den Steuerberater wurde nicht ausgeführt: Es fehlen die "
              "Beraternummer und die Mandantennummer.\n\nBitte tragen Sie sie unter "
              "„Einstellungen → Konten für den Steuerberater“ ein.");
    EXPECT_EQ(dialogs.last().title, "Export für den Steuerberater");

    // Lines without VAT and without an account of their own, at a rate the settings do not
    // have, and a text with an account that is not automatic at such a rate.
    accounts({{"Zeitschrift", "4940", false, ""}});
    line("03.01.2024", "Einlage", "", "500,00", "", "0", "2");
    line("04.01.2024", "Einlage", "", "50,00", "", "", "3");
    line("04.01.2024", "Wareneinkauf", "", "", "16,00", "16", "4");
    line("05.01.2024", "Zeitschrift", "", "", "5,00", "16", "5");
    line("05.01.2024", "Bank", "", "", "K", "0", "6"); // left out: needs no account
    EXPECT_EQ(run("01.01.2024", "31.12.2024"), AdvisorBatch::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für den Steuerberater wurde nicht ausgeführt: 4 Zeilen im Zeitraum "
              "01.01.2024 bis 31.12.2024 haben kein Konto für den Steuerberater:\n\n"
              "„Einlage“: 2 Zeilen ohne MwSt.\n"
              "„Wareneinkauf“: 1 Zeile zu 16 %\n"
              "„Zeitschrift“: 1 Zeile zu 16 %, Konto ohne Automatik und ohne Steuerschlüssel\n\n"
              "Bitte ordnen Sie diesen Buchungstexten unter „Einstellungen → Konten für den "
              "Steuerberater“ ein Konto zu (einem Konto ohne Automatik bei einem anderen "
              "Steuersatz auch den Steuerschlüssel).");
    // A period without them goes through.
    dialogs.files = {out.path() + "/a.csv"};
    EXPECT_EQ(run("01.01.2024", "02.01.2024"), AdvisorBatch::Outcome::Written);
    QFile::remove(out.path() + "/a.csv");

    // A line whose date is no date.
    line("3.1.2024x", "Bareinnahme", "", "1,00", "", "19", "7");
    book.db().exec("UPDATE Buchungen SET a10 = '02.13.2024' WHERE a8 = '7';");
    EXPECT_EQ(run("01.01.2024", "02.01.2025"), AdvisorBatch::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für den Steuerberater wurde nicht ausgeführt: 1 Zeile im Zeitraum "
              "01.01.2024 bis 02.01.2025 hat kein gültiges Datum („02.13.2024“). Bitte "
              "korrigieren Sie diese Zeilen.");

    // Stored numbers out of range (written by hand into the file) are named too.
    book.db().exec("UPDATE Beraterkonten SET Beraternummer = '999';");
    EXPECT_EQ(run("01.01.2024", "02.01.2024"), AdvisorBatch::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für den Steuerberater wurde nicht ausgeführt: Die Beraternummer ist eine "
              "Zahl von 1001 bis 9999999.\n\nBitte korrigieren Sie das unter „Einstellungen → "
              "Konten für den Steuerberater“.");
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u); // only for the period that went through
    EXPECT_TRUE(filesInOut().isEmpty());

    // Chosen by mistake, the cash book (or a copy of it) is not replaced by the batch.
    book.db().exec("UPDATE Beraterkonten SET Beraternummer = '1001';");
    const QByteArray before = readAll(book.path());
    for (const QString& chosen : {book.path(), out.path() + "/Tillbook.ka3"}) {
        dialogs.files = {chosen};
        EXPECT_EQ(run("01.01.2024", "02.01.2024"), AdvisorBatch::Outcome::Cancelled);
        EXPECT_EQ(dialogs.last().text, "Die Datei\n" + chosen +
                                           "\nist ein Kassenbuch oder dessen Sicherung; der "
                                           "Buchungsstapel wird nicht an ihre Stelle geschrieben."
                                           "\n\nEs wurde keine Datei geschrieben.");
    }
    EXPECT_EQ(readAll(book.path()), before);
    EXPECT_TRUE(filesInOut().isEmpty());
}

TEST_F(Batch, AFileTakesAtMost99999Bookings) {
    accounts();
    // 99 998 lines, one of them with receipt and payment: 99 999 bookings.
    book.db().exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 99997) "
        "INSERT INTO Buchungen (a1, n1, a4, a6, a8, a10) "
        "SELECT '', 'Bareinnahme', '1,00', '19', i, '10.03.2024' FROM n;");
    line("11.03.2024", "Bareinnahme", "", "2,00", "1,00", "19", "99998");
    const AdvisorBatch::Plan fits =
        AdvisorBatch(book.db(), dialogs, clock).plan("01.01.2024", "31.12.2024");
    EXPECT_EQ(fits.refusal.toStdString(), "");
    EXPECT_EQ(fits.bookings, 99999);
    line("12.03.2024", "Bareinnahme", "", "3,00", "", "19", "99999");
    EXPECT_EQ(run("01.01.2024", "31.12.2024"), AdvisorBatch::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für den Steuerberater wurde nicht ausgeführt: Im Wirtschaftsjahr ab "
              "01.01.2024 wären es 100.000 Buchungen; eine Datei für den Steuerberater nimmt "
              "höchstens 99.999 auf. Bitte wählen Sie einen kürzeren Zeitraum.");
    EXPECT_TRUE(dialogs.fileDialogs.empty());
}

TEST_F(Batch, OneFilePerFiscalYearAnnouncedAndAskedForEach) {
    accounts({}, "1", "7");
    line("15.12.2023", "Bareinnahme", "", "10,00", "", "19", "1");
    line("30.06.2024", "Bareinnahme", "", "20,00", "", "7", "2");
    line("01.07.2024", "Bareinnahme", "", "30,00", "", "19", "3");
    line("02.07.2024", "Bareinnahme", "", "U", "", "19", "4");

    // Cancelled at the second file: nothing is written.
    dialogs.answers = {Answer::Ok};
    dialogs.files = {out.path() + "/eins.csv"};
    EXPECT_EQ(run("01.01.2023", "31.12.2024"), AdvisorBatch::Outcome::Cancelled);
    EXPECT_TRUE(filesInOut().isEmpty());

    dialogs.fileDialogs.clear();
    dialogs.answers = {Answer::Ok};
    dialogs.files = {out.path() + "/eins.csv", out.path() + "/zwei.csv"};
    ASSERT_EQ(run("01.01.2023", "31.12.2024"), AdvisorBatch::Outcome::Written);
    const test::RecordedMessage& announced = dialogs.messages[dialogs.messages.size() - 2];
    EXPECT_EQ(announced.buttons, Buttons::OkCancel);
    EXPECT_EQ(announced.text,
              "Der Zeitraum 01.01.2023 bis 31.12.2024 umfasst Buchungen aus 2 Wirtschaftsjahren. "
              "Eine Datei für den Steuerberater gilt nur für ein Wirtschaftsjahr, deshalb werden "
              "2 Dateien geschrieben:\n\nEXTF_Buchungsstapel_20230701_20240630.csv (2 Buchungen)"
              "\nEXTF_Buchungsstapel_20240701_20241231.csv (1 Buchung)\n\nSie wählen nun "
              "nacheinander, wo jede gespeichert wird.");
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[0].title,
              "Export für den Steuerberater – Datei 1 von 2 (Wirtschaftsjahr 2023/2024)");
    EXPECT_EQ(dialogs.fileDialogs[0].preset,
              out.path() + "/EXTF_Buchungsstapel_20230701_20240630.csv");
    EXPECT_EQ(dialogs.fileDialogs[1].preset,
              out.path() + "/EXTF_Buchungsstapel_20240701_20241231.csv");

    const QList<QByteArray> first = readAll(out.path() + "/eins.csv").split('\n');
    const QList<QByteArray> second = readAll(out.path() + "/zwei.csv").split('\n');
    ASSERT_EQ(first.size(), 5);
    ASSERT_EQ(second.size(), 4);
    const QStringList h1 = fieldsOf(first[0]), h2 = fieldsOf(second[0]);
    EXPECT_EQ(h1.mid(12, 5), QStringList({"20230701", "4", "20230701", "20240630",
                                          "Kasse 01.07.2023-30.06.2024"}));
    EXPECT_EQ(h2.mid(12, 5), QStringList({"20240701", "4", "20240701", "20241231",
                                          "Kasse 01.07.2024-31.12.2024"}));
    EXPECT_EQ(fieldsOf(first[3].chopped(1)).mid(0, 10),
              QStringList({"20,00", "S", "EUR", "", "", "", "1000", "8300", "", "3006"}));
    EXPECT_EQ(fieldsOf(second[2]).value(9), "0107");
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Die Buchungsstapel für den Steuerberater wurden in den Ordner\n" + out.path() +
        "/\ngeschrieben:\n\neins.csv (2 Buchungen, 01.07.2023 bis 30.06.2024)\nzwei.csv (1 "
        "Buchung, 01.07.2024 bis 31.12.2024)\n\n"))
        << dialogs.last().text.toStdString();
    EXPECT_TRUE(dialogs.last().text.endsWith("3 Zeilen des Kassenbuchs übernommen.\n\nNicht "
                                             "übernommen:\n1 Zeile mit einem Kennbuchstaben "
                                             "(K, U, S, Ü) in einer Betragsspalte"));
}

TEST_F(Batch, NothingToExportIsToldAndNoDialogOpens) {
    accounts();
    line("02.01.2024", "Bareinnahme", "", "", "", "19", "1");
    EXPECT_EQ(run("01.01.2024", "31.12.2024"), AdvisorBatch::Outcome::Nothing);
    EXPECT_EQ(dialogs.last().text, "Im Zeitraum 01.01.2024 bis 31.12.2024 gibt es keine "
                                   "Buchungen für den Steuerberater.\n\nNicht übernommen werden:\n"
                                   "1 Zeile ohne Betrag");
    EXPECT_TRUE(dialogs.fileDialogs.empty());
}

namespace {
// Stops the work at the first step, as "Abbrechen" on the bar does.
struct StopAtOnce : Progress {
    int steps = 0;
    bool step(qint64) override { return ++steps < 2; }
};
} // namespace

// The batch is whole or not there: a stop, a full disk and a folder that may not be written
// leave the folder as it was (an older file of the same name included).
TEST_F(Batch, WrittenWholeOrNotAtAll) {
    accounts();
    book.db().exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO Buchungen (a1, n1, n2, a4, a6, a8, a10) SELECT '', 'Bareinnahme', "
        "'eine Bemerkung, damit die Datei groß wird', '12,50', '19', i, '10.03.2024' FROM n;");
    {
        const QString target = out.path() + "/stapel.csv";
        StopAtOnce stop;
        dialogs.files = {target};
        AdvisorBatch batch(book.db(), dialogs, clock, &stop);
        EXPECT_EQ(batch.run("01.01.2024", "31.12.2024", out.path()),
                  AdvisorBatch::Outcome::Cancelled);
        EXPECT_EQ(dialogs.last().text, "Der Export für den Steuerberater wurde abgebrochen. Es "
                                       "wurde keine Datei geschrieben.");
        EXPECT_TRUE(filesInOut().isEmpty());
    }

    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString disk = out.path() + "/stick";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const QString target = disk + "/EXTF.csv";
    {
        QFile old(target);
        old.open(QIODevice::WriteOnly);
        old.write("alt\r\n");
    }
    dialogs.files = {target};
    const AdvisorBatch::Outcome full = run("01.01.2024", "31.12.2024");
    const QStringList left = QDir(disk).entryList(QDir::Files | QDir::Hidden);
    const QByteArray kept = readAll(target);
    umount(QFile::encodeName(disk).constData());
    EXPECT_EQ(full, AdvisorBatch::Outcome::Failed);
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    EXPECT_EQ(dialogs.last().text.toStdString(),
              ("Die Datei\n" + target +
               "\nkonnte nicht geschrieben werden: Der Datenträger ist voll. (No space left on "
               "device)\n\nEs wurde keine Datei geschrieben; was dort schon lag, ist unverändert.")
                  .toStdString());
    EXPECT_EQ(left, QStringList({"EXTF.csv"}));
    EXPECT_EQ(kept, "alt\r\n");
}

TEST(BatchAsAnotherUser, AFolderThatMayNotBeWrittenIsToldAndLeftAlone) {
    if (!test::canTestPermissions())
        GTEST_SKIP() << "no way to run as an unprivileged user here";
    test::UserFolder user;
    const QString book = user.path() + "/Tillbook.kas";
    {
        ASSERT_TRUE(cashfile::createEmpty(book));
        auto db = Database::open(book, {});
        test::ScriptedDialogs dialogs;
        AdvisorSettings s;
        s.advisor = "1001";
        s.client = "1";
        ASSERT_EQ(AdvisorAccounts(*db, dialogs).save(s), AdvisorAccounts::Outcome::Saved);
        db->exec("INSERT INTO Buchungen (a1, n1, a4, a6, a8, a10) VALUES ('', 'Bareinnahme', "
                 "'5,00', '19', '1', '02.01.2024');");
    }
    user.own(book);
    // A folder of root's beside it: the other user may read it, not write into it.
    const QString locked = user.path() + "/gesperrt";
    QDir().mkpath(locked);
    if (geteuid() != 0)
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const test::ToolRun r =
        test::runTool(TB_TOOL, {"advisor-export", book, locked + "/EXTF.csv"}, user.path());
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_EQ(r.messages.last().toStdString(),
              ("Export für den Steuerberater\tDie Datei\\n" + locked +
               "/EXTF.csv\\nkonnte nicht geschrieben werden: Zugriff verweigert: Es fehlt die "
               "Berechtigung. (Permission denied)\\n\\nEs wurde keine Datei geschrieben; was dort "
               "schon lag, ist unverändert.")
                  .toStdString());
    EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ExportFileLines, TextsAreQuotedCutAndReplacedNumbersStandAsTheyAre) {
    Cp1252Line l;
    l.plain("12,50").quoted("a \"b\"").empty().quoted("Zeile\r\nzwei\tdrei").quoted("äöü€😀xyz", 5);
    EXPECT_EQ(l.bytes(),
              QByteArray("12,50;\"a \"\"b\"\"\";;\"Zeile  zwei drei\";\"\xE4\xF6\xFC\x80?\""));
    EXPECT_EQ(l.fields(), 5);
    EXPECT_EQ(l.replaced(), QString::fromUtf8("😀"));
}

// A walk over the period ends in one of three ways, and only a failed one carries a cause:
// the exports tell a stop from a file that cannot be read by that alone.
TEST(PeriodLinesWalk, EndsDoneStoppedOrFailedWithTheEnginesCause) {
    test::TempBook book;
    const qint64 a = book.addLine("02.01.2024", "10,00", "");
    const qint64 b = book.addLine("02.01.2024", "", "3,50");
    const qint64 c = book.addLine("05.01.2024", "7,00", "");
    PeriodLines lines(book.db(), "01.01.2024", "31.01.2024");
    ASSERT_TRUE(lines.read().ok());
    const size_t all = lines.dates().size();

    std::vector<qint64> seen;
    auto walk = lines.walk("ID", 0, all, [&](const PeriodLines::Date&, const Statement& st) {
        seen.push_back(st.integer(0));
        return true;
    });
    EXPECT_EQ(walk.end, PeriodLines::Walk::Done);
    EXPECT_TRUE(walk.failure.ok());
    EXPECT_EQ(seen, (std::vector<qint64>{a, b, c}));

    seen.clear();
    walk = lines.walk("ID", 0, all, [&](const PeriodLines::Date&, const Statement& st) {
        seen.push_back(st.integer(0));
        return false;
    });
    EXPECT_EQ(walk.end, PeriodLines::Walk::Stopped);
    EXPECT_TRUE(walk.failure.ok());
    EXPECT_EQ(seen, (std::vector<qint64>{a}));

    walk = lines.walk("KeineSpalte", 0, all,
                      [](const PeriodLines::Date&, const Statement&) { return true; });
    EXPECT_EQ(walk.end, PeriodLines::Walk::Failed);
    EXPECT_FALSE(walk.failure.ok());
    EXPECT_NE(walk.failure.engineCode, 0);
    EXPECT_TRUE(germanText(walk.failure).contains("KeineSpalte"));
}
