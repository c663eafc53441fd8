// The negative-balance guard: which change asks, which day it names, and that a "Nein" writes
// nothing, for every way a line or the float is written.
#include "balance_guard.h"
#include "cancellation.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QDate>
#include <gtest/gtest.h>
#include <random>

using namespace tb;

namespace {
const QString kQuestion = QString::fromUtf8(
    "Der Kassenbestand wird am %1 negativ (%2 EUR). Eine Kasse kann keinen negativen Bestand "
    "haben – bitte prüfen Sie die Eingaben (z. B. eine fehlende Einnahme). Trotzdem speichern ?");

struct Guard : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    RunningBalance balance{book.db()};
    BalanceGuard guard{book.db(), dialogs, balance};

    std::optional<NegativeDay> first(std::vector<BalanceShift> shifts, Money fl = Money()) {
        return balance.firstNegativeDay(shifts, fl);
    }
    static Money m(const char* t) { return *Money::parse(QString::fromUtf8(t)); }
    EntryValues entry(const QString& receipt, const QString& payment) {
        EntryValues v;
        v.line.receipt = receipt;
        v.line.payment = payment;
        return v;
    }
};
} // namespace

TEST_F(Guard, NamesTheFirstDayThatFallsBelowZeroFromTheChangedDateOn) {
    book.addLine("01.03.2024", "100,00", "");
    book.addLine("02.03.2024", "", "60,00"); // 40 left
    book.addLine("04.03.2024", "", "30,00"); // 10 left
    // On the newest day: 10,00 covers 10,00 but not 10,01.
    EXPECT_FALSE(first({BalanceShift::on("04.03.2024", m("-10,00"))}));
    auto d = first({BalanceShift::on("04.03.2024", m("-10,01"))});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date, "04.03.2024");
    EXPECT_EQ(d->balance, m("-0,01"));
    // An earlier date: its own day stays above zero, a later one does not.
    d = first({BalanceShift::on("02.03.2024", m("-35,00"))});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date, "04.03.2024");
    EXPECT_EQ(d->balance, m("-25,00"));
    // A date with no line yet, between two days, is a day of its own.
    d = first({BalanceShift::on("03.03.2024", m("-50,00"))});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date, "03.03.2024");
    EXPECT_EQ(d->balance, m("-10,00"));
    // The float is in every balance; a receipt never asks.
    EXPECT_FALSE(first({BalanceShift::on("04.03.2024", m("-50,00"))}, m("40,00")));
    EXPECT_FALSE(first({BalanceShift::on("04.03.2024", m("5,00"))}));
}

TEST_F(Guard, ABookAlreadyBelowZeroAsksOnlyWhenTheChangeLowersIt) {
    book.addLine("01.03.2024", "", "20,00");
    book.addLine("05.03.2024", "50,00", "");
    EXPECT_FALSE(first({BalanceShift::on("01.03.2024", m("5,00"))}));
    auto d = first({BalanceShift::on("01.03.2024", m("-1,00"))});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date, "01.03.2024");
    EXPECT_EQ(d->balance, m("-21,00"));
    // A line moved from one day to a later one: the days between lose it.
    d = first(
        {BalanceShift::on("05.03.2024", m("-50,00")), BalanceShift::on("07.03.2024", m("50,00"))});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date, "05.03.2024");
    EXPECT_EQ(d->balance, m("-20,00"));
}

TEST_F(Guard, AgreesWithAPlainWalkOnRandomBooks) {
    std::mt19937 rng(26);
    std::uniform_int_distribution<int> day(1, 20), cents(-3000, 3000), count(1, 3);
    const QDate base(2024, 1, 1);
    for (int line = 0; line < 60; ++line) {
        const int c = cents(rng);
        const Money a = Money::fromCents(std::abs(c));
        book.addLine(base.addDays(day(rng)).toString("dd.MM.yyyy"), c >= 0 ? a.toText() : "",
                     c < 0 ? a.toText() : "");
    }
    const Money fl = Money::fromCents(2000);
    for (int round = 0; round < 120; ++round) {
        std::vector<BalanceShift> shifts;
        for (int i = count(rng); i > 0; --i)
            shifts.push_back(BalanceShift::on(base.addDays(day(rng)).toString("dd.MM.yyyy"),
                                              Money::fromCents(cents(rng) * 2)));
        // Every date of the book and of the shifts, in order, each with its end balance
        // before and after.
        std::optional<NegativeDay> want;
        for (int k = 1; k <= 20 && !want; ++k) {
            const QDate date = base.addDays(k);
            const QString text = date.toString("dd.MM.yyyy");
            Money now = fl, moved;
            Statement st = book.db().prepare("SELECT a10, a4, a5 FROM Buchungen;");
            while (st.next())
                if (QDate::fromString(st.text(0), "dd.MM.yyyy") <= date)
                    now += BalanceGuard::lineAmount(st.text(1), st.text(2));
            bool exists =
                book.db().scalar("SELECT count(*) FROM Buchungen WHERE a10 = ?;", {text}) != "0";
            for (const BalanceShift& s : shifts) {
                if (QDate::fromString(s.date, "dd.MM.yyyy") <= date)
                    moved += s.amount;
                exists = exists || s.date == text;
            }
            if (exists && moved < Money() && now + moved < Money())
                want = NegativeDay{text, now + moved};
        }
        const auto got = first(shifts, fl);
        ASSERT_EQ(got.has_value(), want.has_value()) << round;
        if (got) {
            EXPECT_EQ(got->date, want->date) << round;
            EXPECT_EQ(got->balance, want->balance) << round;
        }
    }
}

TEST_F(Guard, AskingNamesTheDayWithAMinusSignAndNoIsTheDefault) {
    book.addLine("01.03.2024", "10,00", "");
    EXPECT_TRUE(guard.allowsLine({}, entry("", "5,00"), "02.03.2024", Money()));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(guard.allowsLine({}, entry("", "22,34"), "02.03.2024", Money()));
    EXPECT_EQ(dialogs.last().text, kQuestion.arg("02.03.2024", QString::fromUtf8("−12,34")));
    EXPECT_EQ(dialogs.last().buttons, Buttons::YesNoDefaultNo);
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_TRUE(guard.allowsLine({}, entry("", "22,34"), "02.03.2024", Money()));
}

TEST_F(Guard, AnEditedLineCountsOnlyWhatItChangesOnItsOwnDate) {
    book.addLine("01.03.2024", "50,00", "");
    const qint64 id = book.addLine("01.03.2024", "", "40,00");
    book.addLine("03.03.2024", "", "5,00");
    // 40 → 45 leaves 0; 40 → 46 takes the later day below zero. The day the entry was opened
    // on does not move a saved line.
    EXPECT_TRUE(guard.allowsLine({id}, entry("", "45,00"), "03.03.2024", Money()));
    EXPECT_FALSE(guard.allowsLine({id}, entry("", "46,00"), "09.03.2024", Money()));
    EXPECT_EQ(dialogs.last().text, kQuestion.arg("03.03.2024", QString::fromUtf8("−1,00")));
}

TEST_F(Guard, ACounterEntryAskedNoWritesNothing) {
    book.setSetting("Einst19", "7");
    const qint64 id = book.addLine("01.03.2024", "30,00", "");
    book.addLine("01.03.2024", "", "20,00");
    FixedClock clock{QDateTime(QDate(2024, 3, 2), QTime(10, 0))};
    SettingsRecord settings{&book.db()};
    Cancellation cancellation{book.db(), dialogs, clock, settings};
    cancellation.setBalanceGuard(&guard);
    DataView lines{&book.db(), "Buchungen", "Select * from Buchungen order by ID;"};
    lines.refresh();
    lines.findId(id);
    dialogs.answers = {Answer::Yes, Answer::No};
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"), Cancellation::Outcome::Declined);
    EXPECT_EQ(dialogs.last().text, kQuestion.arg("02.03.2024", QString::fromUtf8("−20,00")));
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "2");
    EXPECT_EQ(book.lineValue(id, "a1"), "");
    EXPECT_EQ(book.setting("Einst19"), "7");
    dialogs.answers = {Answer::Yes, Answer::Yes};
    EXPECT_EQ(cancellation.cancel(lines, "19", "01.03.2024"), Cancellation::Outcome::Done);
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "3");
}

TEST_F(Guard, ALowerFloatAsksForTheFirstDayItTakesBelowZero) {
    book.addLine("01.03.2024", "", "30,00");
    book.addLine("02.03.2024", "", "20,00");
    EXPECT_TRUE(guard.allowsFloat(m("50,00"), m("80,00")));
    EXPECT_TRUE(guard.allowsFloat(m("50,00"), m("50,00")));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(guard.allowsFloat(m("50,00"), m("40,00")));
    EXPECT_EQ(dialogs.last().text, kQuestion.arg("02.03.2024", QString::fromUtf8("−10,00")));
    EXPECT_FALSE(guard.allowsFloat(m("50,00"), m("0")));
    EXPECT_EQ(dialogs.last().text, kQuestion.arg("01.03.2024", QString::fromUtf8("−30,00")));
}
