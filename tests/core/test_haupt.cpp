#include "activate.h"
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
#include <QTimer>
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
        test::activate(w.get());
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

TEST_F(Main, TheCurrentRecordFollowsTheHighlightInBothGrids) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    const qint64 a = book.addLine("02.03.2024", "1,00", "");
    const qint64 b = book.addLine("02.03.2024", "2,00", "");
    start();
    settle();
    w->lineGrid()->setFocus();
    QTest::keyClick(w->lineGrid(), Qt::Key_Down);
    QTest::keyClick(w->lineGrid(), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(a, "a3"), "");
    EXPECT_EQ(book.lineValue(b, "a3"), "V");

    w->dayList()->setFocus();
    QTest::keyClick(w->dayList(), Qt::Key_Down);
    settle();
    EXPECT_EQ(w->days().currentDate(), "01.03.2024");
    EXPECT_EQ(w->dateDisplay()->text(), "01.03.2024");
    EXPECT_EQ(w->lines().recordCount(), 0); // its lines, not the other day's
    QTest::keyClick(w->dayList(), Qt::Key_Up);
    settle();
    EXPECT_EQ(w->dateDisplay()->text(), "02.03.2024");
    EXPECT_EQ(w->lines().recordCount(), 2);
}

TEST_F(Main, ASaveWritesTheLineItWasStartedOnWhateverIsClickedMeanwhile) {
    book.addDay("02.03.2024");
    const qint64 a = book.addLine("02.03.2024", "1,00", "", "Anna");
    const qint64 b = book.addLine("02.03.2024", "2,00", "", "Berta");
    start();
    settle();
    QTest::keyClicks(w->tillCountField(1), "4817"); // service code: saved lines editable
    w->lines().moveTo(0);
    settle();
    ASSERT_EQ(w->entryField(1)->text(), "Anna");
    w->entryField(2)->setText("geändert");
    w->saveEntry();
    w->lines().moveTo(1); // the operator clicks line B within the 100 ms
    settle();
    EXPECT_EQ(book.lineValue(a, "n2"), "geändert");
    EXPECT_EQ(book.lineValue(b, "n2"), "");
    EXPECT_EQ(book.lineValue(b, "n1"), "Berta");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "2");
}

TEST_F(Main, HidingThePanelDropsTheUnsavedLine) {
    book.addDay("02.03.2024");
    const qint64 a = book.addLine("02.03.2024", "1,00", "");
    start();
    settle();
    w->newMode()->setChecked(true);
    scheduler.advance(1100); // the next new entry starts by itself (700 + 360 ms)
    ASSERT_TRUE(w->entryPanel()->isVisible());
    ASSERT_TRUE(w->lines().isAdding());
    w->editMode()->setChecked(true);
    EXPECT_FALSE(w->entryPanel()->isVisible());
    EXPECT_FALSE(w->lines().isAdding());
    settle();
    // F9 and the cancellation panel work again at once, without Escape.
    w->lineGrid()->setFocus();
    QTest::keyClick(w->lineGrid(), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(a, "a3"), "V");
    w->openCancellationPanel();
    EXPECT_EQ(w->stateLabelText(), "Eintrag stornieren");

    // The mixed-rate message closes the panel the same way.
    w->cancelEntry();
    w->newEntry();
    scheduler.advance(360);
    ASSERT_TRUE(w->lines().isAdding());
    w->rateChoice()->setEditText("19/7");
    w->entryField(4)->setFocus();
    QTest::keyClicks(w->entryField(4), "5");
    w->entryField(2)->setFocus();
    EXPECT_EQ(dialogs.last().title, "Mischsteuer");
    EXPECT_FALSE(w->entryPanel()->isVisible());
    EXPECT_FALSE(w->lines().isAdding());
}

TEST_F(Main, LineDeletionAnsweredNoKeepsEverything) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "1,00", "");
    start();
    settle();
    QTest::keyClicks(w->tillCountField(1), "4817");
    w->openCancellationPanel();
    settle();
    dialogs.answers = {Answer::No};
    w->deleteLine();
    EXPECT_EQ(dialogs.last().text, "Soll die markiere Zeile gelöscht werden ?");
    EXPECT_TRUE(w->entryPanel()->isVisible());
    EXPECT_TRUE(w->lineGrid()->hasFocus());
    EXPECT_FALSE(scheduler.isArmed("recompute day view"));
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "1");
}

TEST_F(Main, ActivationFollowsThePasswordPromptAndTheCalendars) {
    book.addDay("02.03.2024");
    book.setSetting("Memo10", scramble("abc", kScrambleKey, ScrambleDirection::Encode));
    start();
    settle();
    ASSERT_EQ(w->guard().currentPassword(), "abc");
    // Changed meanwhile by the settings dialog: the activation after the prompt reads it.
    book.setSetting("Memo10", scramble("xyz", kScrambleKey, ScrambleDirection::Encode));
    dialogs.typedPasswords = {"abc"};
    w->deleteDay();
    EXPECT_EQ(dialogs.passwordPrompts, 1);
    EXPECT_EQ(w->guard().currentPassword(), "xyz");

    // The period start: the calendar without title, activation after it, and "Zeitraum".
    book.addLine("02.03.2024", "1,00", "", "Zins");
    dialogs.dates = {QDate(2024, 1, 1)};
    QTest::mouseClick(w->periodStart(), Qt::LeftButton);
    EXPECT_EQ(dialogs.dateTitles.back(), "");
    EXPECT_EQ(dialogs.datesOffered.back(), QDate(2024, 3, 2));
    EXPECT_EQ(w->periodStart()->text(), "01.01.2024");
    EXPECT_EQ(w->listingKind(), "Zeitraum");
    EXPECT_EQ(w->bookingTextSelector()->count(), 1);     // refilled by the activation
    QTest::mouseClick(w->periodStart(), Qt::LeftButton); // cancelled: the label stays
    EXPECT_EQ(w->periodStart()->text(), "01.01.2024");
    EXPECT_EQ(w->listingKind(), "Zeitraum");
}

TEST_F(Main, RecomputeReturnsToTheFirstLineAndCarriesIntoAnEmptyDay) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "100,00", "");
    book.addLine("01.03.2024", "", "30,00");
    book.setSetting("Einst15", "150,00");
    start();
    settle();
    EXPECT_EQ(w->carriedInDisplay()->text(), "220,00"); // the day has no lines yet
    w->chooseDayRow(1);
    settle();
    w->lines().moveTo(1);
    w->activate();
    settle();
    EXPECT_EQ(w->lines().position(), 0);
    EXPECT_EQ(w->carriedInDisplay()->text(), "150,00");
}

TEST_F(Main, DisplaysTellTheirValueToAssistiveTechnology) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "", "30,00");
    start();
    settle();
    EXPECT_EQ(w->balanceDisplay()->accessibleName(), "aktueller Bestand (Soll):");
    EXPECT_EQ(w->balanceDisplay()->accessibleDescription(), "-30,00");
    EXPECT_EQ(w->dateDisplay()->accessibleDescription(), "02.03.2024");
    EXPECT_EQ(w->weekdayDisplay()->accessibleDescription(), "Sa");
    EXPECT_EQ(w->columnTotal(4)->accessibleDescription(), "30,00");
    EXPECT_EQ(w->expectedCashDisplay()->accessibleDescription(), "-30,00");
}

TEST_F(Main, DayListEndsAFixedDistanceAboveTheBottom) {
    start();
    w->resize(1200, 900);
    QApplication::processEvents();
    const QWidget* surface = w->centralWidget();
    EXPECT_EQ(surface->height() - w->dayList()->geometry().bottom() - 1, 60);
    w->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(surface->height() - w->dayList()->geometry().bottom() - 1, 60);
}

TEST_F(Main, MarkupInTextsStaysText) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "1,00", "", "Bild <img src=\"/dev/zero\">");
    start();
    settle();
    EXPECT_EQ(w->bookingTextSelector()->itemText(0), "Bild <img src=\"/dev/zero\">");
    EXPECT_EQ(w->lineGrid()->model()->index(0, 2).data().toString(),
              "Bild <img src=\"/dev/zero\">");
    for (QLabel* l : {static_cast<QLabel*>(w->dateDisplay()),
                      static_cast<QLabel*>(w->balanceDisplay()), w->periodStart(), w->periodEnd()})
        EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->objectName().toStdString();
}

TEST_F(Main, ALineSavedJustBeforeTheEndIsWritten) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    w->newEntry();
    scheduler.advance(360);
    w->entryField(4)->setText("12,50");
    w->saveEntry();
    w->close(); // within the 100 ms of the save job: the end of a session, a signal
    EXPECT_EQ(book.db().scalar("SELECT a4 || '|' || a15 FROM Buchungen;"), "12,50|12,50");
}

TEST_F(Main, ListingsReplaceTheGridsRowsAndTheKindFollows) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "100,00", "", "Zins");
    book.addLine("02.03.2024", "", "30,00", "Porto");
    book.addLine("02.03.2024", "5,00", "", "Zins");
    start();
    settle();
    w->periodStart()->setText("01.01.2024");
    w->listPeriod();
    settle();
    EXPECT_EQ(w->listingKind(), "Auswahl");
    EXPECT_EQ(w->lines().recordCount(), 3);
    EXPECT_TRUE(w->tabs()->isTabEnabled(1));
    EXPECT_EQ(w->columnTotal(3)->text(), "105,00");
    EXPECT_EQ(w->carriedInDisplay()->text(), "0,00");
    // The day amount of a listing is not the day's: nothing is stored with the day.
    EXPECT_EQ(book.db().scalar("SELECT a3 FROM Datum WHERE a1 = '02.03.2024';"), "-25,00");
    w->listText("Zins");
    settle();
    EXPECT_EQ(w->listingKind(), "Kategorie");
    EXPECT_EQ(w->lines().recordCount(), 2);
    EXPECT_FALSE(w->tabs()->isTabEnabled(1));
    const ListingState state = w->currentListing();
    EXPECT_EQ(state.kind, ListingKind::Kategorie);
    EXPECT_EQ(state.totals.receipts.toText(), "105,00");
    // A click in the day list brings the day back, and with it the till count.
    w->chooseDayRow(0);
    settle();
    EXPECT_EQ(w->listingKind(), "Tag");
    EXPECT_TRUE(w->tabs()->isTabEnabled(1));
    EXPECT_EQ(w->lines().recordCount(), 2);
    EXPECT_EQ(w->bookingTextSelector()->currentText(), "");
}

TEST_F(Main, ClosingThePickerRefillsTheSelectorOnceAndFocusesIt) {
    book.addDay("02.03.2024");
    w = std::make_unique<Haupt>(
        HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()});
    w->show();
    test::activate(w.get());
    w->activate();
    EXPECT_EQ(w->bookingTextSelector()->count(), 0);
    book.addLine("02.03.2024", "1,00", "", "Neu");
    w->bookingTextSelector()->setEditText("alt");
    // The real picker, closed with Escape as soon as it is up.
    QTimer::singleShot(0, [] {
        if (QWidget* picker = QApplication::activeModalWidget())
            QTest::keyClick(picker->focusWidget(), Qt::Key_Escape);
    });
    w->openBookingTextPicker(false);
    EXPECT_EQ(w->bookingTextSelector()->count(), 1);
    EXPECT_EQ(w->bookingTextSelector()->itemText(0), "Neu");
    EXPECT_EQ(w->bookingTextSelector()->currentText(), "");
    QWidget* focus = w->focusWidget();
    EXPECT_TRUE(focus == w->bookingTextSelector() || w->bookingTextSelector()->isAncestorOf(focus));
}
