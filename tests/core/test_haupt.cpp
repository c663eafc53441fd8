#include "haupt.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Main : ::testing::Test {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(10, 0))};
    ManualScheduler scheduler;
    SettingsStore store;
    std::unique_ptr<Haupt> w;
    QStringList picked; // booking texts the scripted picker takes over

    void start() {
        w = std::make_unique<Haupt>(
            HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()});
        w->openBookingTextPicker = [this](bool) {
            if (!picked.isEmpty())
                w->takeOverBookingText(picked.takeFirst());
        };
        w->show();
        QApplication::setActiveWindow(w.get());
        w->activate();
    }
    void settle() { scheduler.advance(2000); }
};
} // namespace

TEST_F(Main, JobsAfterStartRunInTheirOrder) {
    book.addDay("01.03.2024");
    start();
    scheduler.advance(260);
    // Each job armed at creation runs once at its delay, in this order.
    const QStringList expected{"show current line", "load day lines", "till count difference",
                               "recompute day view", "carried-in balance"};
    const std::vector<qint64> times{50, 100, 100, 200, 250};
    int previous = -1;
    for (int i = 0; i < expected.size(); ++i) {
        const int at = static_cast<int>(scheduler.log.indexOf(expected[i]));
        ASSERT_GE(at, 0) << expected[i].toStdString();
        EXPECT_GT(at, previous) << expected[i].toStdString();
        EXPECT_EQ(scheduler.logTimes[static_cast<size_t>(at)], times[static_cast<size_t>(i)]);
        previous = at;
    }
    EXPECT_EQ(scheduler.log.count("recompute day view"), 1);
}

TEST_F(Main, DayListNewestFirstWithWeekdayAndBalances) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "100,00", "");
    book.addLine("01.03.2024", "", "30,00");
    book.addLine("02.03.2024", "50,00", "");
    book.setSetting("Einst15", "150,00");
    start();
    settle();
    EXPECT_EQ(w->dateDisplay()->text(), "02.03.2024");
    EXPECT_EQ(w->weekdayDisplay()->text(), "Sa");
    EXPECT_EQ(w->balanceDisplay()->text(), "270,00");
    EXPECT_EQ(w->carriedInDisplay()->text(), "220,00");
    EXPECT_EQ(w->dayAmountDisplay()->text(), "50,00");
    EXPECT_EQ(book.db().scalar("SELECT a3 FROM Datum WHERE a1 = '02.03.2024';"), "50,00");
    EXPECT_EQ(w->expectedCashDisplay()->text(), "270,00");

    w->chooseDayRow(1);
    settle();
    EXPECT_EQ(w->dayAmountDisplay()->text(), "70,00");
    EXPECT_EQ(w->carriedInDisplay()->text(), "150,00");
}

TEST_F(Main, NegativeBalanceIsRed) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "", "30,00");
    start();
    settle();
    EXPECT_EQ(w->balanceDisplay()->text(), "-30,00");
    EXPECT_TRUE(w->balanceDisplay()->property("negative").toBool());
    EXPECT_EQ(w->balanceDisplay()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(Main, F9TogglesTheDoneMark) {
    book.addDay("02.03.2024");
    const qint64 id = book.addLine("02.03.2024", "1,00", "");
    book.db().exec("UPDATE Buchungen SET a3 = ' ';");
    start();
    settle();
    QTest::keyClick(w->lineGrid(), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(id, "a3"), "V");
    EXPECT_EQ(book.lineValue(id, "a12"), "");
    QTest::keyClick(w->lineGrid(), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(id, "a3"), " ");
    EXPECT_EQ(book.lineValue(id, "a12"), "O");
}

TEST_F(Main, NewEntrySavedAndNewModeStartsTheNextAfter700ms) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    QTest::keyClick(w->dayList(), Qt::Key_F4);
    scheduler.advance(360);
    EXPECT_TRUE(w->entryPanel()->isVisible());
    EXPECT_EQ(w->stateLabelText(), "Neuanlage");
    EXPECT_EQ(w->entryField(1)->text(), "Bareinnahme");
    EXPECT_EQ(w->rateChoice()->currentText(), "19"); // rate 1 when none was chosen
    w->entryField(4)->setFocus();
    QTest::keyClicks(w->entryField(4), "119");
    w->entryField(8)->setFocus(); // leaving the amount computes the VAT
    EXPECT_EQ(w->entryField(8)->text(), "1");
    EXPECT_EQ(book.setting("Einst19"), "2");
    w->entryField(8)->setText("5");
    w->newMode()->setChecked(true);
    scheduler.disarm("press new entry");
    w->saveEntry();
    EXPECT_FALSE(w->entryPanel()->isVisible());
    EXPECT_EQ(book.setting("Einst19"), "6");
    scheduler.advance(100);
    EXPECT_EQ(book.db().scalar("SELECT a4 || '|' || a7 || '|' || a14 FROM Buchungen;"),
              "119,00|19,00|19,00");
    const qint64 armedAt = scheduler.now();
    picked << "Porto";
    scheduler.advance(1100);
    const qsizetype i = scheduler.log.lastIndexOf("press new entry");
    ASSERT_GE(i, 0);
    EXPECT_EQ(scheduler.logTimes[static_cast<size_t>(i)], armedAt + 700);
    EXPECT_TRUE(w->entryPanel()->isVisible());
    EXPECT_EQ(w->entryField(1)->text(), "Porto");
    EXPECT_EQ(book.db().scalar("SELECT a15 FROM Buchungen;"), "119,00");
}

TEST_F(Main, ServiceCodeShowsLineDeletionWhileItStands) {
    book.addDay("02.03.2024");
    start();
    settle();
    EXPECT_FALSE(w->deleteLineButton()->isVisibleTo(w->entryPanel()));
    QTest::keyClicks(w->tillCountField(1), "4817");
    EXPECT_TRUE(w->deleteLineButton()->isVisibleTo(w->entryPanel()));
    QTest::keyClick(w->tillCountField(1), Qt::Key_Backspace);
    EXPECT_FALSE(w->deleteLineButton()->isVisibleTo(w->entryPanel()));
}

TEST_F(Main, EscapeCancelsTheEntryAndDropsTheNewLine) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    w->newEntry();
    scheduler.advance(360);
    QTest::keyClick(w->entryField(2), Qt::Key_Escape);
    EXPECT_FALSE(w->entryPanel()->isVisible());
    EXPECT_EQ(w->stateLabelText(), "Daten bearbeiten");
    settle();
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "0");
}

TEST_F(Main, ConfiguredCaptionsShowAndHideColumns) {
    for (int k = 10; k <= 14; ++k)
        book.setSetting(QString("Einst%1").arg(k), "");
    start();
    for (int c = 4; c <= 8; ++c)
        EXPECT_TRUE(w->lineGrid()->isColumnHidden(c)) << c;
    EXPECT_FALSE(w->columnTotal(3)->isVisibleTo(w.get()));
    book.setSetting("Einst12", "Einnahme");
    w->activate();
    EXPECT_FALSE(w->lineGrid()->isColumnHidden(6));
    EXPECT_EQ(w->lineGrid()->model()->headerData(4, Qt::Horizontal).toString(), "Steuer 19%");
}

TEST_F(Main, PeriodSavedWhenTheWindowCloses) {
    start();
    EXPECT_EQ(w->periodStart()->text(), "01.01.2012");
    w->periodStart()->setText("01.01.2024");
    w->close();
    EXPECT_EQ(store.get("Startup", "Kas_Sel1", {}), "01.01.2024");
    EXPECT_EQ(store.get("Startup", "Kas_Sel2", {}), "31.12.2099");
}
