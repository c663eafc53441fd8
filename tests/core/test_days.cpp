#include "cash_days.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
struct AllowAll : AccessGuard {
    bool allow() override { return true; }
};
struct DenyAll : AccessGuard {
    bool allow() override { return false; }
};

struct Days : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(10, 0))};
    CashDays days{&book.db(), dialogs, clock};
    int changes = 0;
    void SetUp() override {
        days.onDayChanged = [this] { ++changes; };
    }
    QString count() { return book.db().scalar("SELECT count(*) FROM Datum;"); }
};
} // namespace

TEST_F(Days, CancelledPickerWithoutEarlierDateDoesNothing) {
    days.refresh();
    EXPECT_EQ(days.findOrCreate(), CashDays::FindOutcome::Nothing);
    EXPECT_EQ(dialogs.datesOffered.front(), QDate(2024, 3, 2)); // today preset
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(count(), "0");
}

TEST_F(Days, ExistingDateBecomesCurrentWithoutQuestion) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    days.refresh();
    EXPECT_EQ(days.currentDate(), "02.03.2024"); // newest first
    dialogs.dates.push_back(QDate(2024, 3, 1));
    EXPECT_EQ(days.findOrCreate(), CashDays::FindOutcome::Existing);
    EXPECT_EQ(days.currentDate(), "01.03.2024");
    EXPECT_EQ(days.currentDayId(), days.view().id());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Days, NewDateAskedNoAddsNothingYesCreatesOnce) {
    days.refresh();
    dialogs.dates.push_back(QDate(2024, 3, 5));
    EXPECT_EQ(days.findOrCreate(), CashDays::FindOutcome::Declined);
    EXPECT_EQ(count(), "0");
    const auto& m = dialogs.last();
    EXPECT_EQ(m.text, "Soll der 05.03.2024 angelegt werden ?");
    EXPECT_EQ(m.title, "05.03.2024 nicht vorhanden");
    EXPECT_EQ(m.icon, Icon::Information);
    EXPECT_EQ(m.buttons, Buttons::YesNo);

    // Cancelling the picker now keeps the date picked before.
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(days.findOrCreate(), CashDays::FindOutcome::Created);
    EXPECT_EQ(days.currentDate(), "05.03.2024");
    EXPECT_EQ(book.db().scalar("SELECT a2 FROM Datum;"), "20240305");
    EXPECT_FALSE(days.insertDay("05.03.2024") == false);
    EXPECT_EQ(count(), "1"); // never twice, even when asked again directly
}

TEST_F(Days, BusinessDayStartsAtFive) {
    book.addDay("02.03.2024");
    days.refresh();
    clock.set(QDateTime(QDate(2024, 3, 2), QTime(4, 59, 59)));
    EXPECT_TRUE(days.ensureBusinessDay());
    EXPECT_EQ(days.currentDate(), "01.03.2024");
    EXPECT_TRUE(dialogs.messages.empty()); // created without a question
    EXPECT_EQ(count(), "2");

    days.refresh();
    clock.set(QDateTime(QDate(2024, 3, 2), QTime(5, 0)));
    EXPECT_FALSE(days.ensureBusinessDay());
    EXPECT_EQ(days.currentDate(), "02.03.2024");
    // Across a year boundary.
    EXPECT_EQ(CashDays::businessDate(QDateTime(QDate(2024, 1, 1), QTime(0, 30))),
              QDate(2023, 12, 31));
}

TEST_F(Days, DeleteRefusalsQuestionAndGuard) {
    book.addDay("01.03.2024");
    book.addLine("01.03.2024", "1,00", "");
    days.refresh();
    AllowAll allow;
    EXPECT_EQ(days.deleteDay(allow), CashDays::DeleteOutcome::OnlyDay);
    EXPECT_EQ(dialogs.last().text, "dieser Datensatz kann erst gelöscht werden, wenn ein neuer "
                                   "Tag angelegt ist");

    book.addDay("02.03.2024");
    days.refresh();
    days.view().findFirstEquals("a1", "01.03.2024");
    EXPECT_EQ(days.deleteDay(allow), CashDays::DeleteOutcome::HasLines);
    EXPECT_EQ(dialogs.last().text, "Der 01.03.2024 kann nicht gelöscht werden, da an diesem Tag "
                                   "Einträge vorhanden sind");

    days.view().findFirstEquals("a1", "02.03.2024");
    DenyAll deny;
    EXPECT_EQ(days.deleteDay(deny), CashDays::DeleteOutcome::NotAllowed);
    EXPECT_EQ(days.deleteDay(allow), CashDays::DeleteOutcome::Declined);
    EXPECT_EQ(dialogs.last().title, "Tag löschen");
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(days.deleteDay(allow), CashDays::DeleteOutcome::Deleted);
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(days.currentDate(), "01.03.2024");
}
