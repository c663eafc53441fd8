#include "cancellation.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Cancel : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(3, 0))};
    SettingsRecord settings{&book.db()};
    Cancellation cancellation{book.db(), dialogs, clock, settings};
    DataView lines{&book.db(), "Buchungen", "Select * from Buchungen order by ID;"};
    qint64 id = 0;
    void SetUp() override {
        book.setSetting("Einst19", "42");
        settings.reload();
        id = book.addLine("01.03.2024", "12,50", "", "Bareinnahme");
        book.db().exec("UPDATE Buchungen SET a7 = '2,00', a14 = '2,00', a8 = '17';");
        lines.refresh();
    }
    QString last(const char* c) {
        return book.db().scalar(QString("SELECT %1 FROM Buchungen ORDER BY ID DESC;").arg(c));
    }
};
} // namespace

TEST_F(Cancel, CounterEntryNegatesAndTakesTheNextNumber) {
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"), Cancellation::Outcome::Done);
    EXPECT_EQ(dialogs.last().text, "Soll die markiere Eintrag storniert werden ?");
    EXPECT_EQ(dialogs.last().title, "Eintrag stornieren");
    EXPECT_EQ(book.lineValue(id, "a1"), "S");
    EXPECT_EQ(last("a1"), "Storno");
    EXPECT_EQ(last("n1"), "STORNO  Bareinnahme");
    EXPECT_EQ(last("n2"), "Beleg 17 vom 01.03.2024");
    EXPECT_EQ(last("a4"), "-12,50");
    EXPECT_EQ(last("a5"), "");
    EXPECT_EQ(last("a7"), "-2,00");
    EXPECT_EQ(last("a14"), "-2,00");
    EXPECT_EQ(last("a6"), "19");
    EXPECT_EQ(last("a8"), "42");
    EXPECT_EQ(last("a10"), "02.03.2024"); // the calendar date, also before 05:00
    EXPECT_EQ(book.setting("Einst19"), "43");
}

TEST_F(Cancel, TwiceOrACounterEntryIsRefusedAndWritesNothing) {
    dialogs.answers.push_back(Answer::Yes);
    cancellation.cancel(lines, "19", "01.03.2024");
    lines.refresh();
    const QString before = book.db().scalar("SELECT count(*) FROM Buchungen;");
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"),
              Cancellation::Outcome::AlreadyCancelled);
    EXPECT_EQ(dialogs.last().text, "Dieser Eintrag wurde bereits storniert");
    lines.moveLast();
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"),
              Cancellation::Outcome::IsCounterEntry);
    EXPECT_EQ(dialogs.last().text, "Dieser Eintrag ist bereits eine Stornerung");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), before);
    EXPECT_EQ(book.setting("Einst19"), "43");
}

TEST_F(Cancel, NoChangesNothingAndAFailureLeavesTheLineUnmarked) {
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"), Cancellation::Outcome::Declined);
    EXPECT_EQ(book.lineValue(id, "a1"), "");
    book.db().exec("CREATE TRIGGER no_insert BEFORE INSERT ON Buchungen BEGIN "
                   "SELECT RAISE(ABORT, 'full'); END;");
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"), Cancellation::Outcome::Failed);
    EXPECT_EQ(book.lineValue(id, "a1"), "");
    EXPECT_EQ(book.setting("Einst19"), "42");
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
}

TEST_F(Cancel, NumberThatIsNoNumberCountsAsZero) {
    book.setSetting("Einst19", "abc");
    dialogs.answers.push_back(Answer::Yes);
    cancellation.cancel(lines, "19", "01.03.2024");
    EXPECT_EQ(last("a8"), "0");
    EXPECT_EQ(book.setting("Einst19"), "1");
}

TEST_F(Cancel, LineDeletionBehindGuardAndQuestion) {
    struct Deny : AccessGuard {
        bool allow() override { return false; }
    } deny;
    EXPECT_EQ(cancellation.deleteLine(lines, deny), Cancellation::DeleteOutcome::NotAllowed);
    EXPECT_TRUE(dialogs.messages.empty());
    struct Allow : AccessGuard {
        bool allow() override { return true; }
    } allow;
    EXPECT_EQ(cancellation.deleteLine(lines, allow), Cancellation::DeleteOutcome::Declined);
    EXPECT_EQ(dialogs.last().title, "Zeile löschen");
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(cancellation.deleteLine(lines, allow), Cancellation::DeleteOutcome::Deleted);
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "0");
}
