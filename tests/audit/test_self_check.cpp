// The self-check: a book made to hold exactly the findings of each check, and the digit test
// on sets whose chi-square was worked out by hand.
#include "kassenpruefung.h"
#include "log_fixture.h"
#include "self_check.h"
#include "stored_counts.h"

#include <QPlainTextEdit>

using namespace tb;

namespace {
struct Audit : test::LogFixture {
    const QDate from{2024, 3, 1}, to{2024, 3, 31};
    SelfCheckReport run() { return SelfCheck::run(db(), from, to); }
    void sql(const QString& text, const QStringList& params) {
        Statement st = db().prepare(text);
        st.bindAll(params);
        ASSERT_TRUE(st.run());
    }
    qint64 line(const QString& date, const QString& receipt, const QString& payment,
                const QString& number) {
        const qint64 id = book().addLine(date, receipt, payment);
        sql("UPDATE Buchungen SET a8 = ? WHERE ID = ?;", {number, QString::number(id)});
        return id;
    }
    static const CheckResult& nth(const SelfCheckReport& r, int i) {
        return r.checks.at(static_cast<size_t>(i - 1));
    }
};
} // namespace

TEST_F(Audit, DigitTestAgainstHandWorkedChiSquare) {
    // 50 values: digit 0 ten times, digit 8 never, the others five times each (expected 5):
    // (10-5)²/5 + (0-5)²/5 = 5 + 5 = 10.
    std::vector<qint64> cents;
    for (int d = 0; d < 10; ++d)
        for (int k = 0; k < (d == 0 ? 10 : d == 8 ? 0 : 5); ++k)
            cents.push_back((d + 10 * k) * 100 + 99);
    DigitTest t = DigitTest::of(cents);
    EXPECT_EQ(t.values, 50);
    EXPECT_DOUBLE_EQ(t.chiSquare, 10.0);
    EXPECT_FALSE(t.striking());
    // Every value ends in 7: 45²/5 + 9 × 5²/5 = 405 + 45 = 450.
    t = DigitTest::of(std::vector<qint64>(50, 1700));
    EXPECT_DOUBLE_EQ(t.chiSquare, 450.0);
    EXPECT_TRUE(t.striking());
    EXPECT_FALSE(DigitTest::of(std::vector<qint64>(49, 1700)).enough());
}

TEST_F(Audit, DigitTestOfTheBookCountsNormalReceiptsOfThePeriodOnly) {
    for (int i = 0; i < 49; ++i)
        line("05.03.2024", QString::number(10 + i) + ",00", "", QString::number(i + 1));
    // A counter-entry, a payment and a line outside the period are not receipts of the test.
    const qint64 storno = line("06.03.2024", "13,00", "", "50");
    sql("UPDATE Buchungen SET a1 = 'Storno' WHERE ID = ?;", {QString::number(storno)});
    line("06.03.2024", "", "4,00", "51");
    line("01.04.2024", "4,00", "", "52");
    SelfCheckReport r = run();
    EXPECT_EQ(r.digits.values, 49);
    EXPECT_TRUE(nth(r, 7).verdict.startsWith("zu wenige Werte"));
    line("06.03.2024", "59,00", "", "53");
    r = run();
    // 50 receipts 10..59: every digit five times, χ² = 0.
    EXPECT_EQ(nth(r, 7).verdict,
              QString::fromUtf8("χ² = 0,000 bei 50 Werten – keine Auffälligkeiten (Grenzwert "
                                "16,919 bei 5 %)"));
    EXPECT_TRUE(nth(r, 7).findings.contains("Ziffer 3: 5-mal (erwartet 5,0)"));
    EXPECT_EQ(nth(r, 7).findings.last(), SelfCheck::digitExplanation());
}

TEST_F(Audit, NegativeDaysAndReceiptNumbers) {
    book().setSetting("Einst15", "10,00");
    line("29.02.2024", "", "30,00", "1"); // before the period: -20,00
    line("02.03.2024", "15,00", "", "2"); // -5,00
    line("03.03.2024", "8,00", "", "2");  // +3,00, number 2 twice
    line("03.03.2024", "", "1,00", "6");  // 3 to 5 missing
    line("04.03.2024", "1,00", "", "7");
    const SelfCheckReport r = run();
    EXPECT_EQ(nth(r, 1).findings,
              QStringList{QString::fromUtf8("02.03.2024: Endbestand −5,00 EUR")});
    EXPECT_EQ(nth(r, 1).verdict, "1 Auffälligkeit");
    ASSERT_EQ(nth(r, 2).findings.size(), 2);
    EXPECT_TRUE(nth(r, 2).findings[0].startsWith("Beleg-Nr. 2 2-mal: Zeile "));
    EXPECT_EQ(nth(r, 2).findings[1], "Beleg-Nr. 3 bis 5 fehlen");
    EXPECT_EQ(nth(r, 2).verdict, "2 Auffälligkeiten");
}

TEST_F(Audit, LateLinesEditsDeletionsAndTheChainFromTheLog) {
    changelog::dropTriggers(db());
    line("01.03.2024", "5,00", "", "1"); // written without the log: before it began
    changelog::installTriggers(db());
    clock.set(QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    const qint64 late = line("05.03.2024", "5,00", "", "2");   // 15 days after
    const qint64 edited = line("10.03.2024", "5,00", "", "3"); // 10 days: not late
    {
        changelog::ReasonScope service(db(), changelog::Reason::ServiceEdit);
        sql("UPDATE Buchungen SET a4 = '6,00' WHERE ID = ?;", {QString::number(edited)});
    }
    sql("DELETE FROM Buchungen WHERE ID = ?;", {QString::number(late)});
    SelfCheckReport r = run();
    // The deleted line is no line of the book any more; the one before the log is named.
    EXPECT_EQ(nth(r, 3).verdict, "keine Auffälligkeiten, 1 vor Beginn des Protokolls erfasst");
    ASSERT_EQ(nth(r, 4).findings.size(), 2);
    EXPECT_TRUE(nth(r, 4).findings[0].contains("Bearbeitung mit Servicecode"));
    EXPECT_TRUE(nth(r, 4).findings[1].contains("Zeile gelöscht"));
    // The line written behind the log's back breaks nothing in the chain, but the book does
    // not match it.
    EXPECT_NE(nth(r, 5).verdict, "keine Auffälligkeiten");

    const qint64 again = line("05.03.2024", "5,00", "", "4");
    r = run();
    EXPECT_EQ(nth(r, 3).verdict, "1 Auffälligkeit, 1 vor Beginn des Protokolls erfasst");
    EXPECT_TRUE(
        nth(r, 3).findings[0].startsWith(QString("Zeile %1 (Beleg 4 vom 05.03.2024)").arg(again)));
    EXPECT_TRUE(nth(r, 3).findings[0].endsWith("erfasst am 20.03.2024, 15 Tage später"));
}

TEST_F(Audit, DaysWithoutACountAndCountsWithADifference) {
    line("02.03.2024", "5,00", "", "1");
    line("03.03.2024", "5,00", "", "2");
    TillCount::Texts counts{};
    counts[14] = "500";
    ASSERT_TRUE(StoredCounts::store(db(), dialogs, clock, "02.03.2024", counts,
                                    Money::fromCents(500), Money::fromCents(500)));
    clock.set(QDateTime(QDate(2024, 3, 3), QTime(18, 2)));
    ASSERT_TRUE(StoredCounts::store(db(), dialogs, clock, "03.03.2024", counts,
                                    Money::fromCents(500), Money::fromCents(1000)));
    const SelfCheckReport r = run();
    EXPECT_EQ(nth(r, 6).findings,
              QStringList{QString::fromUtf8(
                  "Zählprotokoll Nr. 2 vom 03.03.2024 18:02: Differenz −5,00 EUR")});
    EXPECT_EQ(nth(r, 5).verdict, "keine Auffälligkeiten"); // the counts are logged in the chain
}

TEST_F(Audit, AbbrechenStopsAtOnceAndTheReportSaysSo) {
    struct Stop : Progress {
        bool step(qint64) override { return false; }
    } stop;
    for (int i = 0; i < 30; ++i)
        line("02.03.2024", "1,00", "", QString::number(i + 1));
    const SelfCheckReport r = SelfCheck::run(db(), from, to, stop);
    EXPECT_TRUE(r.stopped);
    EXPECT_LE(r.checks.size(), 1u);
    EXPECT_TRUE(r.text().contains("Die Prüfung wurde abgebrochen"));
}

TEST_F(Audit, AbbrechenDuringTheChainCheckStopsTheSelfCheck) {
    line("02.03.2024", "1,00", "", "1");
    struct StopInTheChain : Progress {
        bool inChain = false;
        void begin(const QString& label, qint64) override {
            inChain = label.startsWith("Das Änderungsprotokoll");
        }
        bool step(qint64) override { return !inChain; }
    } stop;
    const SelfCheckReport r = SelfCheck::run(db(), from, to, stop);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.checks.size(), 4u); // the chain and what follows it did not run
    EXPECT_TRUE(r.text().contains("Die Prüfung wurde abgebrochen"));
}

TEST_F(Audit, TheWindowShowsTheReportAndExportsIt) {
    line("02.03.2024", "", "5,00", "1");
    Kassenpruefung w(db(), dialogs, book().path(), from, to);
    w.workFolder = home.path() + "/work";
    w.check();
    const QString shown = w.view()->toPlainText();
    EXPECT_TRUE(shown.startsWith("Kassenprüfung 01.03.2024 bis 31.03.2024"));
    EXPECT_TRUE(shown.contains("1. Tage mit negativem Kassenbestand: 1 Auffälligkeit"));
    dialogs.files.push_back(home.path() + "/pruefung.csv");
    w.exportCsv();
    QFile f(home.path() + "/pruefung.csv");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray csv = f.readAll();
    EXPECT_TRUE(csv.startsWith("Nr.;Pr\xfc"
                               "fung;Ergebnis;Befund\r\n"));
    EXPECT_TRUE(csv.contains("02.03.2024: Endbestand"));
    EXPECT_FALSE(w.report().pages().pages.empty());
}
