#include "activate.h"
#include "controls.h"
#include "csv_export.h"
#include "entry_panel.h"
#include "haupt.h"
#include "kassenbestand.h"
#include "query_controller.h"
#include "query_frame.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "till_count_page.h"
#include "value_display.h"
#include "vorgaben.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
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
    struct Picker : BookingTextPicker {
        QStringList& picked;
        explicit Picker(QStringList& p) : picked(p) {}
        void pick(bool, const QString&,
                  const std::function<void(const QString&)>& takeOver) override {
            if (!picked.isEmpty())
                takeOver(picked.takeFirst());
        }
    } picker{picked};

    void start() {
        HauptServices services{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()};
        services.picker = &picker;
        w = std::make_unique<Haupt>(services);
        w->show();
        test::activate(w.get());
        w->activate();
    }
    // The controls of the window, by their object names.
    template <typename T = QWidget> T* control(const QString& name) {
        return test::control<T>(w.get(), name);
    }
    QLineEdit* entryField(int i) { return control<QLineEdit>(QStringLiteral("Text5_%1").arg(i)); }
    QComboBox* rateChoice() { return control<QComboBox>("Combo1"); }
    QPushButton* saveButton() { return control<QPushButton>("Command6"); }
    QPushButton* cancelButton() { return control<QPushButton>("Command7"); }
    QPushButton* deleteLineButton() { return control<QPushButton>("Command4"); }
    QPushButton* stornoButton() { return control<QPushButton>("Command20"); }
    QRadioButton* editMode() { return control<QRadioButton>("Option1"); }
    QRadioButton* newMode() { return control<QRadioButton>("Option2"); }
    QLineEdit* tillCountField(int line) {
        return control<QLineEdit>(QStringLiteral("Text2_%1").arg(line));
    }
    ValueDisplay* dateDisplay() { return control<ValueDisplay>("Text1"); }
    ValueDisplay* weekdayDisplay() { return control<ValueDisplay>("Label3"); }
    ValueDisplay* carriedInDisplay() { return control<ValueDisplay>("Label5"); }
    ValueDisplay* dayAmountDisplay() { return control<ValueDisplay>("Text3"); }
    ValueDisplay* balanceDisplay() { return control<ValueDisplay>("Label8"); }
    ValueDisplay* expectedCashDisplay() { return control<ValueDisplay>("Label43"); }
    ValueDisplay* columnTotal(int k) {
        return control<ValueDisplay>(QStringLiteral("Label2_%1").arg(k));
    }
    QLabel* periodStart() { return control<QLabel>("Label9"); }
    QLabel* periodEnd() { return control<QLabel>("Label10"); }
    QComboBox* bookingTextSelector() { return control<QComboBox>("Combo4"); }
    void settle() { scheduler.advance(2000); }
    // Runs the deferred jobs up to and including the one named, at the time it falls due.
    void runTo(JobId id) { ASSERT_TRUE(scheduler.advanceTo(Haupt::jobName(id))); }
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
    EXPECT_EQ(dateDisplay()->text(), "02.03.2024");
    EXPECT_EQ(weekdayDisplay()->text(), "Sa");
    EXPECT_EQ(balanceDisplay()->text(), "270,00");
    EXPECT_EQ(carriedInDisplay()->text(), "220,00");
    EXPECT_EQ(dayAmountDisplay()->text(), "50,00");
    EXPECT_EQ(book.db().scalar("SELECT a3 FROM Datum WHERE a1 = '02.03.2024';"), "50,00");
    EXPECT_EQ(expectedCashDisplay()->text(), "270,00");

    w->dayList().chooseRow(1);
    settle();
    EXPECT_EQ(dayAmountDisplay()->text(), "70,00");
    EXPECT_EQ(carriedInDisplay()->text(), "150,00");
}

TEST_F(Main, NegativeBalanceIsRed) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "", "30,00");
    start();
    settle();
    EXPECT_EQ(balanceDisplay()->text(), "-30,00");
    EXPECT_TRUE(balanceDisplay()->property("negative").toBool());
    EXPECT_EQ(balanceDisplay()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(Main, F9TogglesTheDoneMark) {
    book.addDay("02.03.2024");
    const qint64 id = book.addLine("02.03.2024", "1,00", "");
    book.db().exec("UPDATE Buchungen SET a3 = ' ';");
    start();
    settle();
    QTest::keyClick(control<QTableView>("DBGrid2"), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(id, "a3"), "V");
    EXPECT_EQ(book.lineValue(id, "a12"), "");
    QTest::keyClick(control<QTableView>("DBGrid2"), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(id, "a3"), " ");
    EXPECT_EQ(book.lineValue(id, "a12"), "O");
}

TEST_F(Main, NewEntrySavedAndNewModeStartsTheNextAfter700ms) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    QTest::keyClick(control<QTableView>("DBGrid1"), Qt::Key_F4);
    runTo(JobId::NewLine);
    EXPECT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Neuanlage");
    EXPECT_EQ(entryField(1)->text(), "Bareinnahme");
    EXPECT_EQ(rateChoice()->currentText(), "19"); // rate 1 when none was chosen
    entryField(4)->setFocus();
    QTest::keyClicks(entryField(4), "119");
    entryField(8)->setFocus(); // leaving the amount computes the VAT
    EXPECT_EQ(entryField(8)->text(), "1");
    EXPECT_EQ(book.setting("Einst19"), "2");
    entryField(8)->setText("5");
    newMode()->setChecked(true);
    scheduler.disarm(Haupt::jobName(JobId::PressNew));
    w->entries().saveEntry();
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(book.setting("Einst19"), "6");
    runTo(JobId::SaveLine);
    EXPECT_EQ(book.db().scalar("SELECT a4 || '|' || a7 || '|' || a14 FROM Buchungen;"),
              "119,00|19,00|19,00");
    const qint64 armedAt = scheduler.now();
    picked << "Porto";
    runTo(JobId::PressNew);
    EXPECT_EQ(scheduler.now(), armedAt + 700);
    runTo(JobId::NewLine);
    EXPECT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(entryField(1)->text(), "Porto");
    EXPECT_EQ(book.db().scalar("SELECT a15 FROM Buchungen;"), "119,00");
}

TEST_F(Main, ServiceCodeShowsLineDeletionWhileItStands) {
    book.addDay("02.03.2024");
    start();
    settle();
    EXPECT_FALSE(deleteLineButton()->isVisibleTo(control<EntryPanel>("Frame1")));
    QTest::keyClicks(tillCountField(1), "4817");
    EXPECT_TRUE(deleteLineButton()->isVisibleTo(control<EntryPanel>("Frame1")));
    QTest::keyClick(tillCountField(1), Qt::Key_Backspace);
    EXPECT_FALSE(deleteLineButton()->isVisibleTo(control<EntryPanel>("Frame1")));
}

TEST_F(Main, EscapeCancelsTheEntryAndDropsTheNewLine) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    w->entries().newEntry();
    runTo(JobId::NewLine);
    QTest::keyClick(entryField(2), Qt::Key_Escape);
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Daten bearbeiten");
    settle();
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "0");
}

TEST_F(Main, ConfiguredCaptionsShowAndHideColumns) {
    for (int k = 10; k <= 14; ++k)
        book.setSetting(QString("Einst%1").arg(k), "");
    start();
    for (int c = 4; c <= 8; ++c)
        EXPECT_TRUE(control<QTableView>("DBGrid2")->isColumnHidden(c)) << c;
    EXPECT_FALSE(columnTotal(3)->isVisibleTo(w.get()));
    book.setSetting("Einst12", "Einnahme");
    w->activate();
    EXPECT_FALSE(control<QTableView>("DBGrid2")->isColumnHidden(6));
    EXPECT_EQ(control<QTableView>("DBGrid2")->model()->headerData(4, Qt::Horizontal).toString(),
              "Steuer 19%");
}

TEST_F(Main, PeriodSavedWhenTheWindowCloses) {
    start();
    EXPECT_EQ(periodStart()->text(), "01.01.2012");
    periodStart()->setText("01.01.2024");
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
    control<QTableView>("DBGrid2")->setFocus();
    QTest::keyClick(control<QTableView>("DBGrid2"), Qt::Key_Down);
    QTest::keyClick(control<QTableView>("DBGrid2"), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(a, "a3"), "");
    EXPECT_EQ(book.lineValue(b, "a3"), "V");

    control<QTableView>("DBGrid1")->setFocus();
    QTest::keyClick(control<QTableView>("DBGrid1"), Qt::Key_Down);
    settle();
    EXPECT_EQ(w->days().currentDate(), "01.03.2024");
    EXPECT_EQ(dateDisplay()->text(), "01.03.2024");
    EXPECT_EQ(w->lines().recordCount(), 0); // its lines, not the other day's
    QTest::keyClick(control<QTableView>("DBGrid1"), Qt::Key_Up);
    settle();
    EXPECT_EQ(dateDisplay()->text(), "02.03.2024");
    EXPECT_EQ(w->lines().recordCount(), 2);
}

TEST_F(Main, ASaveWritesTheLineItWasStartedOnWhateverIsClickedMeanwhile) {
    book.addDay("02.03.2024");
    const qint64 a = book.addLine("02.03.2024", "1,00", "", "Anna");
    const qint64 b = book.addLine("02.03.2024", "2,00", "", "Berta");
    start();
    settle();
    QTest::keyClicks(tillCountField(1), "4817"); // service code: saved lines editable
    w->lines().moveTo(0);
    settle();
    ASSERT_EQ(entryField(1)->text(), "Anna");
    entryField(2)->setText("geändert");
    w->entries().saveEntry();
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
    newMode()->setChecked(true);
    runTo(JobId::PressNew); // the next new entry starts by itself
    runTo(JobId::NewLine);
    ASSERT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    ASSERT_TRUE(w->lines().isAdding());
    editMode()->setChecked(true);
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_FALSE(w->lines().isAdding());
    settle();
    // F9 and the cancellation panel work again at once, without Escape.
    control<QTableView>("DBGrid2")->setFocus();
    QTest::keyClick(control<QTableView>("DBGrid2"), Qt::Key_F9);
    EXPECT_EQ(book.lineValue(a, "a3"), "V");
    w->entries().openCancellationPanel();
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Eintrag stornieren");

    // The mixed-rate message closes the panel the same way.
    w->entries().cancelEntry();
    w->entries().newEntry();
    runTo(JobId::NewLine);
    ASSERT_TRUE(w->lines().isAdding());
    rateChoice()->setEditText("19/7");
    entryField(4)->setFocus();
    QTest::keyClicks(entryField(4), "5");
    entryField(2)->setFocus();
    EXPECT_EQ(dialogs.last().title, "Mischsteuer");
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_FALSE(w->lines().isAdding());
}

TEST_F(Main, LineDeletionAnsweredNoKeepsEverything) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "1,00", "");
    start();
    settle();
    QTest::keyClicks(tillCountField(1), "4817");
    w->entries().openCancellationPanel();
    settle();
    dialogs.answers = {Answer::No};
    w->entries().deleteLine();
    EXPECT_EQ(dialogs.last().text, "Soll die markiere Zeile gelöscht werden ?");
    EXPECT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_TRUE(control<QTableView>("DBGrid2")->hasFocus());
    EXPECT_FALSE(scheduler.isArmed(Haupt::jobName(JobId::Recompute)));
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
    w->dayList().deleteDay();
    EXPECT_EQ(dialogs.passwordPrompts, 1);
    EXPECT_EQ(w->guard().currentPassword(), "xyz");

    // The period start: the calendar without title, activation after it, and "Zeitraum".
    book.addLine("02.03.2024", "1,00", "", "Zins");
    dialogs.dates = {QDate(2024, 1, 1)};
    QTest::mouseClick(periodStart(), Qt::LeftButton);
    EXPECT_EQ(dialogs.dateTitles.back(), "");
    EXPECT_EQ(dialogs.datesOffered.back(), QDate(2024, 3, 2));
    EXPECT_EQ(periodStart()->text(), "01.01.2024");
    EXPECT_EQ(w->listings().kindText(), "Zeitraum");
    EXPECT_EQ(bookingTextSelector()->count(), 1);     // refilled by the activation
    QTest::mouseClick(periodStart(), Qt::LeftButton); // cancelled: the label stays
    EXPECT_EQ(periodStart()->text(), "01.01.2024");
    EXPECT_EQ(w->listings().kindText(), "Zeitraum");
}

TEST_F(Main, RecomputeReturnsToTheFirstLineAndCarriesIntoAnEmptyDay) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "100,00", "");
    book.addLine("01.03.2024", "", "30,00");
    book.setSetting("Einst15", "150,00");
    start();
    settle();
    EXPECT_EQ(carriedInDisplay()->text(), "220,00"); // the day has no lines yet
    w->dayList().chooseRow(1);
    settle();
    w->lines().moveTo(1);
    w->activate();
    settle();
    EXPECT_EQ(w->lines().position(), 0);
    EXPECT_EQ(carriedInDisplay()->text(), "150,00");
}

TEST_F(Main, DisplaysTellTheirValueToAssistiveTechnology) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "", "30,00");
    start();
    settle();
    EXPECT_EQ(balanceDisplay()->accessibleName(), "aktueller Bestand (Soll):");
    EXPECT_EQ(balanceDisplay()->accessibleDescription(), "-30,00");
    EXPECT_EQ(dateDisplay()->accessibleDescription(), "02.03.2024");
    EXPECT_EQ(weekdayDisplay()->accessibleDescription(), "Sa");
    EXPECT_EQ(columnTotal(4)->accessibleDescription(), "30,00");
    EXPECT_EQ(expectedCashDisplay()->accessibleDescription(), "-30,00");
}

TEST_F(Main, DayListEndsAFixedDistanceAboveTheBottom) {
    start();
    w->resize(1200, 900);
    QApplication::processEvents();
    const QWidget* surface = w->centralWidget();
    EXPECT_EQ(surface->height() - control<QTableView>("DBGrid1")->geometry().bottom() - 1, 60);
    w->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(surface->height() - control<QTableView>("DBGrid1")->geometry().bottom() - 1, 60);
}

TEST_F(Main, MarkupInTextsStaysText) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "1,00", "", "Bild <img src=\"/dev/zero\">");
    start();
    settle();
    EXPECT_EQ(bookingTextSelector()->itemText(0), "Bild <img src=\"/dev/zero\">");
    EXPECT_EQ(control<QTableView>("DBGrid2")->model()->index(0, 2).data().toString(),
              "Bild <img src=\"/dev/zero\">");
    for (QLabel* l : {static_cast<QLabel*>(dateDisplay()), static_cast<QLabel*>(balanceDisplay()),
                      periodStart(), periodEnd()})
        EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->objectName().toStdString();
}

TEST_F(Main, ALineSavedJustBeforeTheEndIsWritten) {
    book.addDay("02.03.2024");
    start();
    settle();
    picked << "Bareinnahme";
    w->entries().newEntry();
    runTo(JobId::NewLine);
    entryField(4)->setText("12,50");
    w->entries().saveEntry();
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
    periodStart()->setText("01.01.2024");
    w->queries().listPeriod();
    settle();
    EXPECT_EQ(w->listings().kindText(), "Auswahl");
    EXPECT_EQ(w->lines().recordCount(), 3);
    EXPECT_TRUE(control<QTabWidget>("SSTab1")->isTabEnabled(1));
    EXPECT_EQ(columnTotal(3)->text(), "105,00");
    EXPECT_EQ(carriedInDisplay()->text(), "0,00");
    // The day amount of a listing is not the day's: nothing is stored with the day.
    EXPECT_EQ(book.db().scalar("SELECT a3 FROM Datum WHERE a1 = '02.03.2024';"), "-25,00");
    w->queries().listText("Zins");
    settle();
    EXPECT_EQ(w->listings().kindText(), "Kategorie");
    EXPECT_EQ(w->lines().recordCount(), 2);
    EXPECT_FALSE(control<QTabWidget>("SSTab1")->isTabEnabled(1));
    const ListingState state = w->day().currentListing();
    EXPECT_EQ(state.kind, ListingKind::Kategorie);
    EXPECT_EQ(state.totals.receipts.toText(), "105,00");
    // A click in the day list brings the day back, and with it the till count.
    w->dayList().chooseRow(0);
    settle();
    EXPECT_EQ(w->listings().kindText(), "Tag");
    EXPECT_TRUE(control<QTabWidget>("SSTab1")->isTabEnabled(1));
    EXPECT_EQ(w->lines().recordCount(), 2);
    EXPECT_EQ(bookingTextSelector()->currentText(), "");
}

TEST_F(Main, ClosingThePickerRefillsTheSelectorOnceAndFocusesIt) {
    book.addDay("02.03.2024");
    w = std::make_unique<Haupt>(
        HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()});
    w->show();
    test::activate(w.get());
    w->activate();
    EXPECT_EQ(bookingTextSelector()->count(), 0);
    book.addLine("02.03.2024", "1,00", "", "Neu");
    bookingTextSelector()->setEditText("alt");
    // The real picker, closed with Escape as soon as it is up.
    QTimer::singleShot(0, [] {
        if (QWidget* picker = QApplication::activeModalWidget())
            QTest::keyClick(picker->focusWidget(), Qt::Key_Escape);
    });
    w->openBookingTextPicker(false);
    EXPECT_EQ(bookingTextSelector()->count(), 1);
    EXPECT_EQ(bookingTextSelector()->itemText(0), "Neu");
    EXPECT_EQ(bookingTextSelector()->currentText(), "");
    QWidget* focus = w->focusWidget();
    EXPECT_TRUE(focus == bookingTextSelector() || bookingTextSelector()->isAncestorOf(focus));
}

namespace {
const QString kDropQuestion =
    "Der neue Eintrag ist noch nicht gespeichert. Soll er verworfen werden ?";

struct OpenEntry : Main {
    qint64 rent = 0, till = 0;
    void SetUp() override {
        book.addDay("04.03.2024");
        book.addDay("05.03.2024");
        rent = book.addLine("05.03.2024", "100,00", "", "Miete");
        till = book.addLine("05.03.2024", "50,00", "", "Kasse");
        book.addLine("04.03.2024", "10,00", "", "Zins");
        start();
        settle();
    }
    // F4, a booking text, a remark and a payment typed: an entry the operator is in.
    void openTyped() {
        picked << "porto";
        QTest::keyClick(control<QTableView>("DBGrid1"), Qt::Key_F4);
        // Through the job "new line"; with the service code the line opens at once and the
        // fields' state follows.
        if (!scheduler.advanceTo(Haupt::jobName(JobId::NewLine)))
            runTo(JobId::EntryState);
        ASSERT_TRUE(control<EntryPanel>("Frame1")->isVisible());
        entryField(kRemarkField)->setFocus();
        QTest::keyClicks(entryField(kRemarkField), "NEUE ZEILE");
        entryField(kPaymentField)->setFocus();
        QTest::keyClicks(entryField(kPaymentField), "33");
    }
    bool stillOpen() {
        return control<EntryPanel>("Frame1")->isVisible() &&
               control<QLabel>("Label1")->text() == "Neuanlage" &&
               entryField(kRemarkField)->text() == "NEUE ZEILE";
    }
    int questions() {
        int n = 0;
        for (const auto& m : dialogs.messages)
            n += m.text == kDropQuestion ? 1 : 0;
        return n;
    }
    QString savedLines() {
        return book.db().scalar("SELECT group_concat(n1 || '=' || ifnull(a4,'') || '/' || "
                                "ifnull(a5,''), ' ') FROM (SELECT * FROM Buchungen ORDER BY ID);");
    }
};
} // namespace

TEST_F(OpenEntry, TheSameDayAgainKeepsItAndTheSaveWritesANewLine) {
    openTyped();
    dialogs.dates = {QDate(2024, 3, 5)};
    QTest::keyClick(entryField(kPaymentField), Qt::Key_F3);
    settle();
    EXPECT_TRUE(stillOpen());
    EXPECT_EQ(entryField(kPaymentField)->text(), "33,00");
    EXPECT_EQ(questions(), 0);
    // A line clicked meanwhile is shown nowhere: the entry keeps what was typed.
    w->lines().moveTo(1);
    settle();
    EXPECT_TRUE(stillOpen());
    w->entries().saveEntry();
    settle();
    EXPECT_EQ(savedLines(), "Miete=100,00/ Kasse=50,00/ Zins=10,00/ porto=/33,00");
    EXPECT_EQ(book.db().scalar("SELECT a10 FROM Buchungen WHERE n1 = 'porto';"), "05.03.2024");
}

TEST_F(OpenEntry, EveryOtherWayOutAsksFirstAndNoReturnsToTheEntry) {
    const std::vector<std::pair<const char*, std::function<void()>>> waysOut{
        {"F3 to another day",
         [&] {
             dialogs.dates = {QDate(2024, 3, 4)};
             QTest::keyClick(entryField(kPaymentField), Qt::Key_F3);
         }},
        {"a click in the day list", [&] { w->dayList().chooseRow(1); }},
        {"alle Positionen anzeigen", [&] { w->queries().listPeriod(); }},
        {"a text chosen in the selector", [&] { w->queries().listText("Miete"); }},
        {"F4", [&] { QTest::keyClick(entryField(kRemarkField), Qt::Key_F4); }},
        {"Datenkorrektur", [&] { w->queries().correctData(); }},
        {"Modus Bearbeiten",
         [&] {
             newMode()->setChecked(true);
             scheduler.disarm(Haupt::jobName(JobId::PressNew));
             editMode()->setChecked(true);
         }},
    };
    const QString before = savedLines();
    for (const auto& [name, leave] : waysOut) {
        SCOPED_TRACE(name);
        openTyped();
        const int asked = questions();
        dialogs.answers = {Answer::No};
        leave();
        settle();
        EXPECT_EQ(questions(), asked + 1);
        EXPECT_EQ(dialogs.last().title, "Neuanlage");
        EXPECT_EQ(dialogs.last().buttons, Buttons::YesNo);
        EXPECT_TRUE(stillOpen());
        EXPECT_EQ(w->days().currentDate(), "05.03.2024");
        EXPECT_TRUE(control<EntryPanel>("Frame1")->isAncestorOf(QApplication::focusWidget()));
        dialogs.answers = {Answer::Yes, Answer::Yes};
        leave();
        settle();
        EXPECT_EQ(questions(), asked + 2);
        EXPECT_FALSE(stillOpen());
        // Whatever is open now (F4 opens the next entry), nothing typed went anywhere.
        w->entries().cancelEntry();
        newMode()->setChecked(false);
        editMode()->setChecked(true);
        w->dayList().chooseRow(0);
        settle();
        ASSERT_EQ(w->days().currentDate(), "05.03.2024");
        EXPECT_EQ(savedLines(), before);
    }
}

TEST_F(OpenEntry, ARenumberingAsksFirstAndNeverHandsANumberOutTwice) {
    book.setSetting("Einst19", "90");
    QTest::keyClicks(tillCountField(1), "4817"); // the service code reveals renumbering
    editMode()->setChecked(true);
    openTyped();
    ASSERT_TRUE(stillOpen());
    auto renumberInTheDialog = [&](std::deque<Answer> answers) {
        QTimer::singleShot(0, [&, answers] {
            auto* v = qobject_cast<Vorgaben*>(QApplication::activeModalWidget());
            ASSERT_NE(v, nullptr);
            dialogs.dates = {QDate(2024, 3, 1), QDate(2024, 3, 31)};
            QTest::mouseClick(v->renumberFrom(), Qt::LeftButton);
            QTest::mouseClick(v->renumberTo(), Qt::LeftButton);
            dialogs.inputs = {"100"};
            dialogs.answers = answers;
            v->renumber();
            if (v->isVisible())
                v->reject();
        });
        w->menus().settingsWindow(false);
    };
    renumberInTheDialog({Answer::No});
    EXPECT_EQ(dialogs.last().text, kDropQuestion);
    EXPECT_TRUE(stillOpen());
    EXPECT_EQ(book.db().scalar("SELECT group_concat(a8) FROM Buchungen;"), "1,1,1");

    renumberInTheDialog({Answer::Yes, Answer::Yes});
    settle();
    EXPECT_EQ(dialogs.last().text, "Belegnummern neu geschrieben !");
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "3");
    EXPECT_EQ(book.setting("Einst19"), "103");
}

TEST_F(OpenEntry, TabGoesThroughTheFieldsToSaveAndCancelAndRoundAgain) {
    openTyped();
    entryField(kTextField)->setFocus();
    QStringList visited;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        ASSERT_TRUE(f && control<EntryPanel>("Frame1")->isAncestorOf(f))
            << visited.join(", ").toStdString();
        visited << (f->accessibleName().isEmpty() ? f->parentWidget()->accessibleName()
                                                  : f->accessibleName());
    }
    EXPECT_EQ(visited,
              QStringList({"Bemerkung", "Einnahme", "Ausgabe", "Beleg", "MwSt.-Satz",
                           "MwSt.-Betrag", "speichern", "abbrechen", "Buchungstext", "Bemerkung"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(cancelButton()->hasFocus());
    // Tab to "speichern" and Enter: the line is saved.
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(saveButton()->hasFocus());
    QTest::keyClick(saveButton(), Qt::Key_Return);
    settle();
    EXPECT_EQ(savedLines(), "Miete=100,00/ Kasse=50,00/ Zins=10,00/ porto=/33,00");
}

TEST_F(OpenEntry, AnUntouchedEntryGoesWithoutAQuestion) {
    w->entries().newEntry();
    runTo(JobId::NewLine); // the picker was cancelled: nothing typed
    ASSERT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    w->dayList().chooseRow(1);
    settle();
    EXPECT_EQ(questions(), 0);
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(w->days().currentDate(), "04.03.2024");
}

TEST_F(Main, TheCarriedInBalanceFollowsEveryChangeOfDayAndFloat) {
    book.addDay("04.03.2024");
    book.addDay("05.03.2024");
    book.addLine("04.03.2024", "100,00", "", "Miete");
    book.addLine("05.03.2024", "50,00", "", "Kasse");
    book.setSetting("Einst15", "150,00");
    clock.set(QDateTime(QDate(2024, 3, 6), QTime(10, 0)));
    start();
    settle();
    ASSERT_EQ(carriedInDisplay()->text(), "250,00");
    dialogs.dates = {QDate(2024, 3, 4)};
    QTest::keyClick(control<QTableView>("DBGrid1"), Qt::Key_F3);
    settle();
    EXPECT_EQ(carriedInDisplay()->text(), "150,00");

    QTimer::singleShot(0, [] {
        auto* k = qobject_cast<Kassenbestand*>(QApplication::activeModalWidget());
        ASSERT_NE(k, nullptr);
        k->field()->setText("200,00");
        k->save();
    });
    w->menus().floatWindow();
    settle();
    EXPECT_EQ(carriedInDisplay()->text(), "200,00");

    // A counter-entry on today's business day: the day is created and becomes current.
    w->lines().moveTo(0);
    w->entries().openCancellationPanel();
    settle();
    dialogs.answers = {Answer::Yes};
    w->entries().cancelLine();
    settle();
    ASSERT_EQ(w->days().currentDate(), "06.03.2024");
    EXPECT_EQ(carriedInDisplay()->text(), "350,00");
}

TEST_F(Main, WhatIsExportedAndPrintedIsWhatTheGridLists) {
    book.addDay("01.03.2024");
    book.addDay("05.03.2024");
    book.addLine("01.03.2024", "100,00", "", "Zins");
    book.addLine("05.03.2024", "", "30,00", "Porto");
    start();
    settle();
    auto proposed = [&] { return QFileInfo(dialogs.fileDialogs.back().preset).fileName(); };
    periodStart()->setText("01.03.2024");
    periodEnd()->setText("07.03.2024");
    dialogs.dates = {QDate(2024, 3, 1), QDate(2024, 3, 7)};
    QTest::mouseClick(periodStart(), Qt::LeftButton);
    QTest::mouseClick(periodEnd(), Qt::LeftButton);
    w->queries().listPeriod();
    settle();
    // A calendar closed with Escape, a printer choice: each a modal window, each an activation.
    QTest::mouseClick(periodEnd(), Qt::LeftButton);
    EXPECT_EQ(w->listings().kindText(), "Auswahl");
    w->queries().exportCsv();
    EXPECT_EQ(proposed(), "Kassenbuch 01.03.2024 bis 07.03.2024.csv");
    for (int print = 0; print < 2; ++print) {
        dialogs.printerAnswers = {{"PDF-Datei", 1}};
        w->queries().printCashBook();
        EXPECT_EQ(proposed(), "Kassenbuch 01.03.2024 bis 07.03.2024.pdf") << print;
    }
    // The period touched afterwards names nothing until it is listed.
    dialogs.dates = {QDate(2024, 2, 1)};
    QTest::mouseClick(periodStart(), Qt::LeftButton);
    w->queries().exportCsv();
    EXPECT_EQ(proposed(), "Kassenbuch 01.03.2024 bis 07.03.2024.csv");

    w->queries().listText("Zins");
    settle();
    w->activate();
    EXPECT_EQ(w->day().currentListing().kind, ListingKind::Kategorie);
    w->queries().exportCsv();
    EXPECT_EQ(proposed(), "Kassenbuch Zins.csv");
    dialogs.printerAnswers = {{"PDF-Datei", 1}};
    w->queries().printCashBook();
    EXPECT_EQ(proposed(), "Kassenbuch Zins.pdf");

    w->dayList().chooseRow(0);
    settle();
    w->queries().exportCsv();
    EXPECT_EQ(proposed(), "Kassenbuch vom 05.03.2024.csv");
}

TEST_F(Main, ThePeriodIsChosenAndListedByKeyboard) {
    book.addDay("01.03.2024");
    book.addLine("01.03.2024", "100,00", "", "Zins");
    start();
    settle();
    periodStart()->setFocus(Qt::TabFocusReason);
    dialogs.dates = {QDate(2024, 3, 1), QDate(2024, 3, 7)};
    QTest::keyClick(periodStart(), Qt::Key_Return);
    settle(); // the activation after the calendar recomputes: the focus stays where it was
    EXPECT_EQ(periodStart()->text(), "01.03.2024");
    ASSERT_EQ(w->focusWidget(), periodStart());
    QTest::keyClick(periodStart(), Qt::Key_Tab);
    ASSERT_EQ(w->focusWidget(), periodEnd());
    QTest::keyClick(periodEnd(), Qt::Key_Space);
    settle();
    EXPECT_EQ(periodEnd()->text(), "07.03.2024");
    QTest::keyClick(periodEnd(), Qt::Key_Tab);
    ASSERT_EQ(w->focusWidget(), control<QueryFrame>("Frame2")->listAllButton());
    QTest::keyClick(w->focusWidget(), Qt::Key_Return);
    settle();
    EXPECT_EQ(w->listings().kindText(), "Auswahl");
    EXPECT_EQ(w->lines().recordCount(), 1);
}

TEST_F(Main, ACorrectionAsksForLinesWithAmountsAndTheBalanceFollows) {
    book.addDay("05.03.2024");
    const qint64 kept = book.addLine("05.03.2024", "100,00", "", "Miete");
    book.db().exec("INSERT INTO Buchungen (n1, a4, a8, a10, a15) VALUES ('Kasse', '250,00', "
                   "'9', NULL, '0');");
    start();
    settle();
    ASSERT_EQ(balanceDisplay()->text(), "350,00");
    dialogs.answers = {Answer::No};
    w->queries().correctData();
    settle();
    EXPECT_TRUE(dialogs.messages[dialogs.messages.size() - 2].text.contains(
        "Beleg 9  Kasse  Einnahme 250,00"));
    EXPECT_EQ(balanceDisplay()->text(), "350,00");
    dialogs.answers = {Answer::Yes};
    w->queries().correctData();
    settle();
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "1");
    EXPECT_EQ(balanceDisplay()->text(), "100,00");
    EXPECT_EQ(book.lineValue(kept, "a15"), "100,00");
}

TEST_F(Main, ABusyFileOpensNoSettingsWindowAndAddsNoRecord) {
    book.addDay("05.03.2024");
    start();
    settle();
    auto other = Database::open(book.path(), {});
    ASSERT_TRUE(other->exec("BEGIN EXCLUSIVE;"));
    // Should a window open after all, it is closed again so the test can tell.
    QTimer::singleShot(3000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    w->menus().settingsWindow(false);
    other->exec("ROLLBACK;");
    EXPECT_EQ(dialogs.last().text, "Die Einstellungen können gerade nicht gelesen werden: Die "
                                   "Datendatei ist in Benutzung.\nBitte versuchen Sie es in einem "
                                   "Moment noch einmal.");
    EXPECT_EQ(dialogs.last().title, "Vorgaben");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Einstellungen;"), "1");
}

TEST(ValueDisplay, AFigureTooWideShrinksAndIsElidedNeverCut) {
    ValueDisplay d("aktueller Bestand (Soll):", ValueDisplay::Colour::RedWhenNegative);
    d.setStyleSheet("background: white; border: 1px solid gray; padding: 1px 4px; "
                    "font-weight: bold;");
    d.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    d.resize(200, 24);
    d.show();
    d.setValue("2413,56");
    EXPECT_EQ(d.shownText(), "2413,56");
    EXPECT_EQ(d.shownFont().pointSizeF(), d.font().pointSizeF());
    EXPECT_TRUE(d.toolTip().isEmpty());
    for (int width : {70, 52, 40}) {
        d.resize(width, 24);
        const QFontMetrics m(d.shownFont());
        EXPECT_LE(m.horizontalAdvance(d.shownText()), d.textWidth()) << width;
        EXPECT_LE(d.textWidth(), width - 2 * 5) << width; // border and padding stay outside
        if (d.shownText() != "2413,56") {
            EXPECT_TRUE(d.shownText().contains(QChar(0x2026))) << width;
            EXPECT_EQ(d.toolTip(), "2413,56");
        }
    }
    d.resize(18, 24);
    EXPECT_NE(d.shownText(), "2413,56");
    EXPECT_EQ(d.toolTip(), "2413,56");
    EXPECT_EQ(d.accessibleDescription(), "2413,56");
    EXPECT_EQ(d.text(), "2413,56");
}

TEST_F(OpenEntry, APaymentBelowZeroAsksAndNoKeepsTheEntryUnwritten) {
    // 160,00 in the till: 200,00 out takes the 05.03. to -40,00.
    openTyped();
    entryField(kPaymentField)->setText("200,00");
    const QString before = savedLines();
    w->entries().saveEntry();
    settle();
    EXPECT_TRUE(stillOpen());
    EXPECT_TRUE(dialogs.last().text.startsWith(
        QString::fromUtf8("Der Kassenbestand wird am 05.03.2024 negativ (−40,00 EUR).")));
    EXPECT_EQ(savedLines(), before);
    dialogs.answers.push_back(Answer::Yes);
    w->entries().saveEntry();
    settle();
    EXPECT_FALSE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(book.db().scalar("SELECT a5 FROM Buchungen WHERE n1 = 'porto';"), "200,00");
    // The day list shows the day that ends below zero in red, the one before it not.
    const QModelIndex newest = control<QTableView>("DBGrid1")->model()->index(0, 0);
    const QModelIndex older = control<QTableView>("DBGrid1")->model()->index(1, 0);
    EXPECT_EQ(newest.data().toString(), "05.03.2024");
    EXPECT_EQ(newest.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(older.data(Qt::ForegroundRole).isValid());
}

TEST_F(Main, AFloatThatTakesADayBelowZeroIsStoredOnlyWhenTheOperatorAgrees) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "", "30,00");
    book.setSetting("Einst15", "50,00");
    Kassenbestand dlg(&book.db(), dialogs);
    RunningBalance balance(book.db());
    BalanceGuard guard(book.db(), dialogs, balance);
    dlg.setBalanceGuard(&guard);
    dlg.field()->setText("20,00");
    EXPECT_FALSE(dlg.save());
    EXPECT_TRUE(dialogs.last().text.startsWith(
        QString::fromUtf8("Der Kassenbestand wird am 02.03.2024 negativ (−10,00 EUR).")));
    EXPECT_EQ(book.setting("Einst15"), "50,00");
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_TRUE(dlg.save());
    EXPECT_EQ(book.setting("Einst15"), "20,00");
}

TEST_F(Main, AKeptCountWithAShortageOpensItsBookingOnTheCurrentDay) {
    book.addDay("02.03.2024");
    book.addLine("02.03.2024", "10,00", "");
    start();
    settle();
    QTest::keyClicks(tillCountField(9), "6"); // 6,00 counted against 10,00
    settle();
    dialogs.answers.push_back(Answer::Yes);
    control<TillCountPage>("TillCountPage")->storeButton()->click();
    EXPECT_EQ(dialogs.last().text,
              QString::fromUtf8("Differenz von −4,00 EUR als Buchung übernehmen ?"));
    EXPECT_EQ(book.db().scalar("SELECT Tag || '|' || Differenz FROM Zaehlungen;"),
              "02.03.2024|-4,00");
    EXPECT_EQ(control<TillCountPage>("TillCountPage")->storedTitle(),
              "Zählprotokoll Nr. 1 vom 02.03.2024 10:00");
    settle();
    EXPECT_TRUE(control<EntryPanel>("Frame1")->isVisible());
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Neuanlage");
    EXPECT_EQ(entryField(kTextField)->text(), "Kassendifferenz");
    EXPECT_EQ(entryField(kPaymentField)->text(), "4,00");
    EXPECT_EQ(entryField(kReceiptField)->text(), "");
    EXPECT_EQ(rateChoice()->currentText(), "0");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungstext WHERE a1 = 'Kassendifferenz';"),
              "1");
    // Saved as any line: it takes the till to 6,00, no question.
    w->entries().saveEntry();
    settle();
    EXPECT_EQ(
        book.db().scalar("SELECT a5 || '|' || a10 FROM Buchungen WHERE n1 = 'Kassendifferenz';"),
        "4,00|02.03.2024");
    EXPECT_EQ(balanceDisplay()->text(), "6,00");
    // A count changed after it was kept is no longer that record.
    QTest::keyClicks(tillCountField(9), "1");
    EXPECT_EQ(control<TillCountPage>("TillCountPage")->storedTitle(), "");
}
