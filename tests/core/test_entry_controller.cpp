#include "day_controller.h"
#include "entry_controller.h"
#include "schema.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tb;

namespace {
// The panel and mode buttons as the controller sees them; it follows what the controller asks.
struct FakeWindow : EntryWindow {
    bool shown = false;
    EntryState state = EntryState::Bearbeiten;
    EntryValues values;
    bool code = false;
    bool newMode = false;
    bool armed = false;
    bool panelShown() const override { return shown; }
    EntryState panelState() const override { return state; }
    EntryValues panelValues() const override { return values; }
    bool serviceCode() const override { return code; }
    bool newModeOn() const override { return newMode; }
    bool saveArmed() const override { return armed; }
};

struct Entries : ::testing::Test {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(10, 0))};
    FakeWindow window;
    std::unique_ptr<SettingsRecord> settings;
    std::unique_ptr<DayPresenter> day;
    std::unique_ptr<BalanceGuard> balanceGuard;
    PasswordGuard guard{dialogs};
    std::unique_ptr<EntryController> entries;
    std::vector<JobId> jobs;

    void SetUp() override {
        book.addDay("01.03.2024");
        book.addDay("02.03.2024");
        settings = std::make_unique<SettingsRecord>(&book.db());
        day = std::make_unique<DayPresenter>(book.db(), dialogs, clock, *settings);
        balanceGuard = std::make_unique<BalanceGuard>(book.db(), dialogs, day->runningBalance());
        entries = std::make_unique<EntryController>(book.db(), dialogs, clock, *settings, *day,
                                                    *balanceGuard, guard, window);
        QObject::connect(entries.get(), &EntryController::jobWanted,
                         [this](JobId id) { jobs.push_back(id); });
        QObject::connect(entries.get(), &EntryController::modeWanted, [this](EntryMode m, bool) {
            if (m == EntryMode::NewLine) {
                window.shown = true;
                window.state = EntryState::Neuanlage;
                window.values = {};
            }
        });
        QObject::connect(entries.get(), &EntryController::valuesWanted,
                         [this](const EntryValues& v) { window.values = v; });
        QObject::connect(entries.get(), &EntryController::panelCloseWanted,
                         [this] { window.shown = false; });
        day->days().refresh();
        day->showDay();
    }
    void type(const QString& text, const QString& receipt) {
        window.values.field(kTextField) = text;
        window.values.field(kReceiptField) = receipt;
        window.values.field(kNumberField) = QStringLiteral("1");
    }
    bool armedJob(JobId id) const { return std::find(jobs.begin(), jobs.end(), id) != jobs.end(); }
    QString linesOn(const QString& date) {
        using L = schema::Lines;
        return book.db().scalar(QStringLiteral("SELECT group_concat(%1, '|') FROM %2 WHERE %3 = ?;")
                                    .arg(L::receipt, L::table, L::date),
                                {date});
    }
};
} // namespace

TEST_F(Entries, TheSaveWritesTheEntryOnItsOwnDayAndAnArmedSaveKeepsItsLine) {
    ASSERT_EQ(day->days().currentDate(), "02.03.2024");
    entries->openNewLine(false);
    type("Bareinnahme", "10,00");
    // The operator moves to another day before the armed save runs.
    day->days().view().moveTo(1);
    ASSERT_EQ(day->days().currentDate(), "01.03.2024");
    entries->saveEntry();
    EXPECT_TRUE(armedJob(JobId::SaveLine));
    EXPECT_FALSE(window.shown);
    // A second "speichern" while the save waits leaves the waiting one as it was.
    window.armed = true;
    window.shown = true;
    type("Bareinnahme", "99,00");
    entries->saveEntry();
    entries->saveLine();
    EXPECT_EQ(linesOn("02.03.2024"), "10,00");
    EXPECT_EQ(linesOn("01.03.2024"), "");
    EXPECT_FALSE(armedJob(JobId::PressNew));
}

TEST_F(Entries, LeavingATypedNewEntryAsksAndNoKeepsIt) {
    QSignalSpy kept(entries.get(), &EntryController::entryKept);
    entries->openNewLine(false);
    EXPECT_TRUE(entries->leaveNewEntry()); // nothing typed: dropped without a question
    EXPECT_TRUE(dialogs.messages.empty());

    entries->openNewLine(false);
    type("Porto", "");
    dialogs.answers = {Answer::No};
    EXPECT_FALSE(entries->leaveNewEntry());
    EXPECT_EQ(dialogs.last().text,
              "Der neue Eintrag ist noch nicht gespeichert. Soll er verworfen werden ?");
    EXPECT_EQ(kept.count(), 1);
    EXPECT_TRUE(window.shown);
    dialogs.answers = {Answer::Yes};
    EXPECT_TRUE(entries->leaveNewEntry());
    EXPECT_FALSE(window.shown);
}

TEST_F(Entries, ATillDifferenceIsAReceiptWhenOverAndAPaymentWhenShort) {
    entries->openDifferenceLine(Money::fromCents(-250), "Kassendifferenz");
    EXPECT_EQ(window.values.field(kTextField), "Kassendifferenz");
    EXPECT_EQ(window.values.field(kPaymentField), "2,50");
    EXPECT_EQ(window.values.field(kReceiptField), "");
    EXPECT_EQ(window.values.rate, "0");
    entries->openDifferenceLine(Money::fromCents(1000), "Kassendifferenz");
    EXPECT_EQ(window.values.field(kReceiptField), "10,00");
    EXPECT_EQ(window.values.field(kPaymentField), "");
}

TEST_F(Entries, WithTheServiceCodeANewEntryOnAnotherDayOffersToChangeTheDay) {
    QSignalSpy dayWanted(entries.get(), &EntryController::dayWanted);
    entries->newEntry();
    EXPECT_TRUE(armedJob(JobId::NewLine)); // without the code: the picker's job, no question
    EXPECT_TRUE(dialogs.messages.empty());

    jobs.clear();
    window.code = true;
    day->days().view().moveTo(1);
    dialogs.answers = {Answer::Yes};
    entries->newEntry();
    EXPECT_TRUE(armedJob(JobId::EntryState));
    EXPECT_EQ(dialogs.last().title, "Tag wählen");
    EXPECT_EQ(dayWanted.count(), 1);
    EXPECT_FALSE(window.shown);
}

namespace {
// The day list over the same book: choosing, creating and deleting days.
struct DayList : Entries {
    std::unique_ptr<DayController> list;
    std::vector<std::pair<QString, QString>> shown; // date, weekday
    void SetUp() override {
        Entries::SetUp();
        list = std::make_unique<DayController>(*day, *entries, guard);
        QObject::connect(list.get(), &DayController::jobWanted,
                         [this](JobId id) { jobs.push_back(id); });
        QObject::connect(list.get(), &DayController::dayShown,
                         [this](const QString& d, const QString& w, int) {
                             shown.push_back({d, w});
                         });
        QObject::connect(list.get(), &DayController::panelCloseWanted,
                         [this] { window.shown = false; });
        jobs.clear();
    }
};
} // namespace

TEST_F(DayList, AChosenDayWaitsForAKeptEntryAndOtherwiseLoadsInItsOrder) {
    QSignalSpy reread(list.get(), &DayController::daysReread);
    entries->openNewLine(false);
    type("Porto", "");
    jobs.clear();
    dialogs.answers = {Answer::No};
    list->chooseRow(1);
    EXPECT_EQ(day->days().currentDate(), "02.03.2024");
    EXPECT_EQ(reread.count(), 1); // the highlight goes back
    EXPECT_TRUE(jobs.empty());

    day->listPeriod();
    dialogs.answers = {Answer::Yes};
    list->chooseRow(1);
    EXPECT_EQ(day->days().currentDate(), "01.03.2024");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], std::make_pair(QString("01.03.2024"), QString("Fr")));
    EXPECT_EQ(jobs, (std::vector<JobId>{JobId::LoadLines, JobId::LoadLines, JobId::Recompute,
                                        JobId::CarriedIn}));
    EXPECT_FALSE(window.shown);
    EXPECT_EQ(day->listings().kindText(), "Tag");

    // The lines are read, then the figures: an open entry keeps its line and the focus.
    jobs.clear();
    QSignalSpy recomputed(list.get(), &DayController::recomputed);
    list->loadLines();
    EXPECT_EQ(jobs, (std::vector<JobId>{JobId::Recompute, JobId::CarriedIn}));
    window.shown = true;
    list->recompute();
    ASSERT_EQ(recomputed.count(), 1);
    EXPECT_TRUE(recomputed.last().at(0).toBool());
    EXPECT_EQ(jobs.back(), JobId::TillDifference);
}

TEST_F(DayList, ACreatedDayStaysCurrentAndADeclinedOneLeavesTheFocusInTheList) {
    QSignalSpy listFocus(list.get(), &DayController::dayListFocusWanted);
    QSignalSpy gridFocus(list.get(), &DayController::gridFocusWanted);
    dialogs.dates = {QDate(2024, 3, 5)};
    dialogs.answers = {Answer::No};
    list->findOrCreate();
    EXPECT_EQ(listFocus.count(), 1);
    EXPECT_FALSE(armedJob(JobId::AfterDayCreated));

    dialogs.dates = {QDate(2024, 3, 5)};
    dialogs.answers = {Answer::Yes};
    list->findOrCreate();
    EXPECT_EQ(gridFocus.count(), 1);
    ASSERT_EQ(jobs.back(), JobId::AfterDayCreated);
    list->afterDayCreated();
    EXPECT_EQ(day->days().currentDate(), "05.03.2024");
    EXPECT_EQ(jobs.back(), JobId::StartLineOnNewDay);

    // The new day has no lines: it goes, and the day now current is shown.
    shown.clear();
    dialogs.answers = {Answer::Yes};
    list->deleteDay();
    using D = schema::Days;
    EXPECT_EQ(book.db().scalar(
                  QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?;").arg(D::table, D::date),
                  {QStringLiteral("05.03.2024")}),
              "0");
    EXPECT_EQ(listFocus.count(), 2);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().first, day->days().currentDate());
}
