#include "click_label.h"
#include "renumbering.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "vorgaben.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Numbers : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings{&book.db()};
    Renumbering renumbering{book.db(), dialogs, settings};
    QString field = "50";

    qint64 line(const QString& date) { return book.addLine(date, "1,00", ""); }
    Renumbering::Outcome run(const QString& from, const QString& to, const QString& start) {
        dialogs.inputs = {start};
        dialogs.answers = {Answer::Yes};
        return renumbering.run(from, to, field);
    }
};
} // namespace

TEST_F(Numbers, InDateOrderThenByIdFromTheStartNumber) {
    const qint64 jan = line("01.01.2024");
    const qint64 dec = line("31.12.2023");
    const qint64 second = line("01.01.2024");
    const qint64 outside = line("02.01.2024");
    ASSERT_EQ(run("31.12.2023", "01.01.2024", "100"), Renumbering::Outcome::Done);
    EXPECT_EQ(book.lineValue(dec, "a8"), "100");
    EXPECT_EQ(book.lineValue(jan, "a8"), "101");
    EXPECT_EQ(book.lineValue(second, "a8"), "102");
    EXPECT_EQ(book.lineValue(outside, "a8"), "1"); // outside the range: as it was
    EXPECT_EQ(field, "103");
    EXPECT_EQ(book.setting("Einst19"), "103");
    EXPECT_EQ(dialogs.last().text, "Belegnummern neu geschrieben !");
    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    ASSERT_EQ(dialogs.inputPrompts.size(), 1u);
    EXPECT_EQ(dialogs.inputPrompts[0],
              "Bitte geben Sie die erste Belegnummer vor|Belegnummern neu vergeben|50");
    const auto& question = dialogs.messages[dialogs.messages.size() - 2];
    EXPECT_EQ(question.text, "Sollen die Belegnummern vom 31.12.2023 bis zum 01.01.2024 mit der "
                             "Startnummer 100 jetzt neu vergeben werden ?");
    EXPECT_EQ(question.title, "Belegnummern neu schreiben");
    EXPECT_EQ(question.icon, Icon::None);
}

TEST_F(Numbers, LeadingZerosAnEmptyRangeAndRefusals) {
    const qint64 a = line("01.03.2024");
    const qint64 b = line("02.03.2024");
    const qint64 c = line("03.03.2024");
    ASSERT_EQ(run("01.03.2024", "03.03.2024", "007"), Renumbering::Outcome::Done);
    EXPECT_EQ(book.lineValue(a, "a8"), "7");
    EXPECT_EQ(book.lineValue(b, "a8"), "8");
    EXPECT_EQ(book.lineValue(c, "a8"), "9");
    // From after to: nothing selected; the next number becomes N and the message still shows.
    ASSERT_EQ(run("03.03.2024", "01.03.2024", "40"), Renumbering::Outcome::Done);
    EXPECT_EQ(field, "40");
    EXPECT_EQ(book.lineValue(a, "a8"), "7");
    EXPECT_EQ(dialogs.last().text, "Belegnummern neu geschrieben !");

    dialogs.inputs = {std::nullopt}; // cancelled
    EXPECT_EQ(renumbering.run("01.03.2024", "03.03.2024", field), Renumbering::Outcome::Empty);
    EXPECT_EQ(run("01.03.2024", "03.03.2024", "12a"), Renumbering::Outcome::NotANumber);
    EXPECT_EQ(dialogs.last().text, "Die erste Belegnummer muss eine ganze Zahl sein.");
    dialogs.inputs = {"5"};
    dialogs.answers = {Answer::No};
    EXPECT_EQ(renumbering.run("01.03.2024", "03.03.2024", field), Renumbering::Outcome::Declined);
    EXPECT_EQ(book.lineValue(a, "a8"), "7");
    EXPECT_EQ(field, "40");
}

TEST_F(Numbers, AFailureHalfWayChangesNothing) {
    const qint64 a = line("01.03.2024");
    const qint64 b = line("02.03.2024");
    book.db().exec(QStringLiteral("CREATE TRIGGER halt BEFORE UPDATE OF a8 ON Buchungen WHEN "
                                  "OLD.ID = %1 BEGIN SELECT RAISE(ABORT, 'voll'); END;")
                       .arg(b));
    EXPECT_EQ(run("01.03.2024", "02.03.2024", "100"), Renumbering::Outcome::Failed);
    EXPECT_EQ(dialogs.last().text,
              "Die Belegnummern konnten nicht neu geschrieben werden. Es wurde nichts geändert.");
    EXPECT_EQ(book.lineValue(a, "a8"), "1");
    EXPECT_EQ(book.lineValue(b, "a8"), "1");
    EXPECT_EQ(book.setting("Einst19"), "1");
}

TEST_F(Numbers, NumbersBeyondNineDigitsAreRefusedAndNothingIsWritten) {
    const qint64 a = line("01.03.2024");
    const qint64 b = line("02.03.2024");
    for (const char* start : {"9223372036854775807", "99999999999999999999", "999999999"}) {
        // The last number would pass the bound (the second booking gets start + 1).
        EXPECT_EQ(run("01.03.2024", "02.03.2024", start), Renumbering::Outcome::TooLarge) << start;
        EXPECT_EQ(dialogs.last().text, "Mit dieser Startnummer würden die Belegnummern größer als "
                                       "999999999. Es wurde nichts geändert.");
        EXPECT_EQ(field, "50");
    }
    EXPECT_EQ(book.lineValue(a, "a8"), "1");
    EXPECT_EQ(book.setting("Einst19"), "1");
    EXPECT_EQ(run("01.03.2024", "02.03.2024", "999999998"), Renumbering::Outcome::Done);
    EXPECT_EQ(book.lineValue(b, "a8"), "999999999");
    EXPECT_EQ(renumbering.renumber("01.03.2024", "02.03.2024", 999999999), std::nullopt);
}

namespace {
// The main window as the settings window asks it: the service code as typed, renumbering allowed.
struct Host : VorgabenHost {
    const QString& code;
    explicit Host(const QString& c) : code(c) {}
    bool serviceCodeActive() const override { return code == "4817"; }
    bool mayRenumber() override { return true; }
};
} // namespace

TEST(Vorgaben, AFailedRenumberingLeavesTheReceiptFieldAndPastesAreFiltered) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    book.setSetting("Einst19", "12");
    book.addLine("01.03.2024", "1,00", "");
    book.db().exec("CREATE TRIGGER halt BEFORE UPDATE OF a8 ON Buchungen BEGIN "
                   "SELECT RAISE(ABORT, 'voll'); END;");
    {
        const QString code = "4817";
        Host host(code);
        Vorgaben v(&book.db(), dialogs, &host);
        v.show();
        dialogs.dates = {QDate(2024, 3, 1), QDate(2024, 3, 31)};
        QTest::mouseClick(v.renumberFrom(), Qt::LeftButton);
        QTest::mouseClick(v.renumberTo(), Qt::LeftButton);
        dialogs.inputs = {"500"};
        dialogs.answers = {Answer::Yes};
        v.renumberStart()->click();
        EXPECT_TRUE(dialogs.last().text.endsWith("Es wurde nichts geändert."));
        EXPECT_EQ(v.receipt()->text(), "12");
        v.close();
    }
    EXPECT_EQ(book.setting("Einst19"), "12");

    Vorgaben v(&book.db(), dialogs);
    v.show();
    v.receipt()->selectAll();
    QApplication::clipboard()->setText("12EUR");
    v.receipt()->paste();
    EXPECT_EQ(v.receipt()->text(), "12");
    QApplication::clipboard()->setText("1234567890");
    v.receipt()->selectAll();
    v.receipt()->paste();
    EXPECT_EQ(v.receipt()->text(), "12");
    v.close();
    EXPECT_EQ(book.setting("Einst19"), "12");
}

TEST(RenumberingPanel, OnlyTheExactServiceCodeRevealsItAndStartNeedsBothDates) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    const FixedClock clock(QDateTime(QDate(2024, 3, 2), QTime(9, 0)));
    QString code = "4817 ";
    Host host(code);
    {
        Vorgaben v(&book.db(), dialogs, &host);
        v.show();
        EXPECT_FALSE(v.renumberPanel()->isVisible());
    }
    code = "4817";
    Vorgaben v(&book.db(), dialogs, &host);
    v.clock = &clock;
    int refreshed = 0;
    QObject::connect(&v, &Vorgaben::renumbered, [&] { ++refreshed; });
    v.show();
    ASSERT_TRUE(v.renumberPanel()->isVisible());
    EXPECT_EQ(v.renumberPanel()->title(), "Belegnummern neu vergeben");
    EXPECT_FALSE(v.renumberStart()->isEnabled());
    dialogs.dates = {QDate(2024, 3, 1), std::nullopt, QDate(2024, 3, 31)};
    QTest::mouseClick(v.renumberFrom(), Qt::LeftButton);
    EXPECT_EQ(v.renumberFrom()->text(), "01.03.2024");
    EXPECT_EQ(dialogs.datesOffered.back(), QDate(2024, 3, 2)); // today preset
    EXPECT_FALSE(v.renumberStart()->isEnabled());
    QTest::mouseClick(v.renumberTo(), Qt::LeftButton); // cancelled: stays empty
    EXPECT_FALSE(v.renumberStart()->isEnabled());
    QTest::mouseClick(v.renumberTo(), Qt::LeftButton);
    EXPECT_TRUE(v.renumberStart()->isEnabled());
    book.addLine("02.03.2024", "1,00", "");
    dialogs.inputs = {"20"};
    dialogs.answers = {Answer::Yes};
    v.renumberStart()->click();
    EXPECT_EQ(refreshed, 1);
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(book.setting("Einst19"), "21");
    EXPECT_EQ(book.db().scalar("SELECT a8 FROM Buchungen;"), "20");
}
