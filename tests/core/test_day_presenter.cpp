#include "day_presenter.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Presenter : ::testing::Test {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(10, 0))};
    std::unique_ptr<SettingsRecord> settings;
    std::unique_ptr<DayPresenter> day;

    void SetUp() override {
        book.addDay("01.03.2024");
        book.addDay("02.03.2024");
        book.addLine("01.03.2024", "100,00", "");
        book.addLine("01.03.2024", "", "30,00");
        book.addLine("02.03.2024", "50,00", "");
        book.setSetting("Einst15", "150,00");
    }
    void start() {
        settings = std::make_unique<SettingsRecord>(&book.db());
        day = std::make_unique<DayPresenter>(book.db(), dialogs, clock, *settings);
        day->days().refresh();
    }
    // Makes the day with this row of the (newest-first) day list current and shows it.
    void choose(int row) {
        day->days().view().moveTo(row);
        day->listings().dayChosen();
        day->showDay();
    }
    QString storedAmount(const QString& date) {
        return book.db().scalar("SELECT a3 FROM Datum WHERE a1 = ?;", {date});
    }
};
} // namespace

TEST_F(Presenter, RecomputeShowsTheFiguresAndStoresTheDayAmountOfTheDayOnly) {
    start();
    QSignalSpy totals(day.get(), &DayPresenter::totalsChanged);
    QSignalSpy balance(day.get(), &DayPresenter::balanceChanged);
    choose(1);
    day->lines().moveTo(1);
    day->recompute(false);
    EXPECT_EQ(day->lines().position(), 0); // back on the first line
    ASSERT_EQ(totals.count(), 1);
    EXPECT_EQ(totals.last().at(0).value<DayTotals>().dayAmount(), Money::fromCents(7000));
    EXPECT_EQ(storedAmount("01.03.2024"), "70,00");
    ASSERT_EQ(balance.count(), 1);
    EXPECT_EQ(balance.last().at(0).value<Money>(), Money::fromCents(27000));

    // An open entry keeps its line; a period listing is not the day's amount.
    day->lines().moveTo(1);
    day->recompute(true);
    EXPECT_EQ(day->lines().position(), 1);
    EXPECT_EQ(day->listPeriod(), Listings::Outcome::Listed);
    day->recompute(false);
    EXPECT_EQ(day->totals().dayAmount(), Money::fromCents(12000));
    EXPECT_EQ(storedAmount("01.03.2024"), "70,00");

    // A click in the day list names the day before its lines are read: a recompute that falls
    // in between still sees the listing and stores nothing.
    day->days().view().moveTo(0);
    day->listings().dayChosen();
    day->recompute(false);
    EXPECT_NE(storedAmount("02.03.2024"), "120,00");
    day->showDay();
    day->recompute(false);
    EXPECT_EQ(storedAmount("02.03.2024"), "50,00");

    // The data correction's lines are no day either.
    day->correctData();
    day->recompute(false);
    EXPECT_EQ(storedAmount("02.03.2024"), "50,00");
}

TEST_F(Presenter, TheCarriedInBalanceOfADayWithoutLinesFollowsTheFloat) {
    book.addDay("03.03.2024");
    start();
    QSignalSpy carried(day.get(), &DayPresenter::carriedInChanged);
    choose(0); // 03.03., no lines yet
    day->recompute(false);
    day->updateCarriedIn();
    ASSERT_EQ(carried.count(), 1);
    EXPECT_EQ(day->carriedIn(), Money::fromCents(27000));

    // The remembered balance was computed with the old float: it is not taken.
    book.setSetting("Einst15", "200,00");
    settings->reload();
    day->updateCarriedIn();
    EXPECT_EQ(day->carriedIn(), Money::fromCents(32000));

    // A day with lines: its first line's balance less its amounts.
    choose(2);
    day->recompute(false);
    day->updateCarriedIn();
    EXPECT_EQ(day->carriedIn(), Money::fromCents(20000));

    // A text listing that finds nothing leaves the figure as it was.
    ASSERT_EQ(day->listText("Unbekannt"), Listings::Outcome::Listed);
    const auto before = carried.count();
    day->updateCarriedIn();
    EXPECT_EQ(carried.count(), before);
    EXPECT_EQ(day->carriedIn(), Money::fromCents(20000));
}
