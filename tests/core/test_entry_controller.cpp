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
