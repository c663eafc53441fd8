// Every kind of entry the change log writes, who writes it, and what it leaves out.
#include "advisor_accounts.h"
#include "booking_entry.h"
#include "cancellation.h"
#include "cash_days.h"
#include "data_correction.h"
#include "kassenbestand.h"
#include "log_fixture.h"
#include "passwords.h"
#include "renumbering.h"
#include "running_balance.h"
#include "vorgaben.h"

#include <QLineEdit>

using namespace tb;
using changelog::Kind;
using changelog::Reason;

namespace {
struct Entries : test::LogFixture {
    std::unique_ptr<SettingsRecord> settings;
    std::unique_ptr<BookingEntry> entry;
    std::unique_ptr<DataView> lines;

    void SetUp() override {
        LogFixture::SetUp();
        book().addDay("01.03.2024");
        settings = std::make_unique<SettingsRecord>(&db());
        entry = std::make_unique<BookingEntry>(dialogs, *settings);
        lines =
            std::make_unique<DataView>(&db(), "Buchungen", "Select * from Buchungen Order by ID;");
        lines->refresh();
    }
    // A line booked as the entry panel books it: the receipt field takes the next number.
    qint64 booked(const QString& text, const QString& in, const QString& remark = {}) {
        EntryValues v;
        v.line.text = text;
        v.line.remark = remark;
        v.line.receipt = in;
        v.rate = "19";
        entry->receiptFieldEntered(v);
        entry->amountFieldLeft(v);
        EXPECT_TRUE(entry->checkAndAdvance(v));
        qint64 id = 0;
        EXPECT_TRUE(entry->writeLine(db(), LineTarget{}, v, "01.03.2024", &id));
        lines->refresh();
        lines->findId(id);
        return id;
    }
    std::vector<LogEntry> since(qint64 n) {
        std::vector<LogEntry> out;
        for (const LogEntry& e : entries())
            if (e.number > n)
                out.push_back(e);
        return out;
    }
};
} // namespace

TEST_F(Entries, ANewBookBeginsWithItsStateAndEveryNewLineIsEnteredWithItsMoment) {
    const auto all = entries();
    ASSERT_EQ(all.size(), 2u); // the beginning, the day
    EXPECT_EQ(all[0].kind, int(Kind::Begun));
    EXPECT_EQ(all[0].reason, int(Reason::NewBook));
    EXPECT_TRUE(all[0].after.startsWith("Zeilen=0;Tage=0;letzte Zeile=0;Prüfsumme="));
    EXPECT_EQ(all[1].kind, int(Kind::DayAdded));
    EXPECT_EQ(all[1].date, "01.03.2024");

    clock.set(QDateTime(QDate(2024, 3, 1), QTime(17, 4, 59)));
    const qint64 before = count();
    const qint64 id = booked("Bareinnahme", "119,00", "Kasse; Tresen");
    // The moving next receipt number is no entry of its own: the line carries its number.
    const auto added = since(before);
    ASSERT_EQ(added.size(), 1u);
    const LogEntry& e = added[0];
    EXPECT_EQ(e.kind, int(Kind::LineAdded));
    EXPECT_EQ(e.reason, int(Reason::Booking));
    EXPECT_EQ(e.ref, id);
    EXPECT_EQ(e.receipt, "1");
    EXPECT_EQ(e.date, "01.03.2024");
    EXPECT_EQ(e.momentText(), "01.03.2024 17:04:59");
    EXPECT_EQ(e.after,
              "n1=Bareinnahme;n2=Kasse\\; Tresen;a4=119,00;a6=19;a7=19,00;a12=O;a14=19,00");
    EXPECT_EQ(AuditTrail::entryTime(db(), id)->toString("dd.MM.yyyy hh:mm:ss"),
              "01.03.2024 17:04:59");
    EXPECT_EQ(AuditTrail::changeText(e),
              "Buchungstext: Bareinnahme; Bemerkung: Kasse; Tresen; Einnahme: 119,00; "
              "MwSt.-Satz: 19; MwSt.: 19,00; offen: O; MwSt. Satz 1: 19,00");
    EXPECT_EQ(e.hash.size(), 32);
    EXPECT_TRUE(LogCheck::run(db()).whole());
}

TEST_F(Entries, EveryChangeOfALineNamesItsReasonAndTheBalanceMakesNone) {
    const qint64 id = booked("Bareinnahme", "10,00");
    booked("Kunde", "20,00");
    qint64 n = count();

    // F9: the done mark.
    lines->refresh();
    lines->findId(id);
    ASSERT_TRUE(BookingEntry::toggleDone(*lines));
    auto got = since(n);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(AuditTrail::kindWithReason(got[0]), "Zeile geändert (Erledigt-Markierung F9)");
    EXPECT_EQ(got[0].before, "a3=;a12=O");
    EXPECT_EQ(got[0].after, "a3=V;a12=");
    n = count();

    // An edit of the saved line with the service code: only what changed.
    EntryValues v;
    lines->refresh();
    lines->findId(id);
    entry->showLine(*lines, v);
    v.line.receipt = "12,00";
    entry->amountFieldLeft(v);
    ASSERT_TRUE(entry->writeLine(db(), LineTarget{id}, v, "01.03.2024"));
    got = since(n);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].reason, int(Reason::ServiceEdit));
    EXPECT_EQ(AuditTrail::changeText(got[0]),
              "Einnahme: 10,00 → 12,00; MwSt.: 1,60 → 1,92; MwSt. Satz 1: 1,60 → 1,92");
    n = count();

    // The running balance writes only a15: by statement, and in place when many change.
    RunningBalance balance(db());
    EXPECT_GT(balance.recompute(Money::fromCents(15000)).written, 0);
    EXPECT_GT(RunningBalance::fullWalk(db(), Money::fromCents(99)).written, 0);
    EXPECT_EQ(count(), n);

    // The cancellation: the mark and the counter-entry, and no entry for the next number.
    Cancellation cancellation(db(), dialogs, clock, *settings);
    lines->refresh();
    lines->findId(id);
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(cancellation.cancel(*lines, "19", "01.03.2024"), Cancellation::Outcome::Done);
    got = since(n);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, int(Kind::LineChanged));
    EXPECT_EQ(got[0].after, "a1=S");
    EXPECT_EQ(got[1].kind, int(Kind::LineAdded));
    EXPECT_EQ(got[1].reason, int(Reason::Cancellation));
    EXPECT_TRUE(got[1].after.startsWith("a1=Storno;n1=STORNO  Bareinnahme;"));
    EXPECT_TRUE(got[1].after.contains(";a11=;")); // a counter-entry has no date key
    n = count();

    // The deletion with the service code keeps the whole line.
    struct Yes : AccessGuard {
        bool allow() override { return true; }
    } yes;
    lines->refresh();
    lines->findId(id);
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(cancellation.deleteLine(*lines, yes), Cancellation::DeleteOutcome::Deleted);
    got = since(n);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(AuditTrail::kindWithReason(got[0]), "Zeile gelöscht (Zeile löschen)");
    EXPECT_EQ(got[0].before, "a1=S;n1=Bareinnahme;a3=V;a4=12,00;a6=19;a7=1,92;a14=1,92");
    EXPECT_EQ(got[0].receipt, "1");
    EXPECT_EQ(AuditTrail::read(db(), LogFilter{{}, {}, 0, id}).size(), 5u);
    EXPECT_TRUE(LogCheck::run(db()).whole()) << LogCheck::run(db()).text().toStdString();
}

TEST_F(Entries, DaysFloatRatesNumbersAndPasswordAreLoggedWithoutThePasswordItself) {
    CashDays days(&db(), dialogs, clock);
    ASSERT_TRUE(days.insertDay("02.03.2024"));
    EXPECT_EQ(last().kind, int(Kind::DayAdded));
    days.refresh(); // the newest day, with no lines, is current
    struct Yes : AccessGuard {
        bool allow() override { return true; }
    } yes;
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(days.deleteDay(yes), CashDays::DeleteOutcome::Deleted);
    EXPECT_EQ(AuditTrail::kindWithReason(last()), "Tag gelöscht (Tag löschen)");
    EXPECT_EQ(last().date, "02.03.2024");

    {
        Kassenbestand dialog(&db(), dialogs);
        dialog.field()->setText("150,00");
        ASSERT_TRUE(dialog.save());
    }
    EXPECT_EQ(AuditTrail::kindWithReason(last()), "Einstellungen geändert (Kassenbestand)");
    EXPECT_EQ(AuditTrail::changeText(last()), "Kassenbestand: 0 → 150,00");
    {
        Vorgaben dialog(&db(), dialogs);
        dialog.rate1()->setText("20");
        dialog.receipt()->setText("500");
        dialog.saveAndClose();
    }
    EXPECT_EQ(last().reason, int(Reason::Settings));
    EXPECT_EQ(AuditTrail::changeText(last()), "MwSt.-Satz 1: 19 → 20; nächste Beleg-Nr.: 1 → 500");

    settings->reload();
    PasswordChange change(dialogs, *settings, "Hutwart");
    ASSERT_TRUE(change.submitOld("Hutwart"));
    ASSERT_TRUE(change.submitNew("geheim", "geheim"));
    EXPECT_EQ(last().reason, int(Reason::Password));
    EXPECT_EQ(last().before, "Memo10=");
    EXPECT_EQ(last().after, "Memo10=*");

    // The tax advisor's accounts: what changed, before and after; saving them unchanged
    // writes nothing.
    AdvisorAccounts accounts(db(), dialogs);
    AdvisorSettings a = AdvisorAccounts::load(db());
    a.advisor = "29098";
    a.client = "55003";
    a.texts = {{"Porto", "4910", false, ""}};
    ASSERT_EQ(accounts.save(a), AdvisorAccounts::Outcome::Saved);
    EXPECT_EQ(AuditTrail::kindWithReason(last()), "Konten für den Steuerberater geändert");
    EXPECT_TRUE(last().after.contains("Beraternummer=29098;")) << last().after.toStdString();
    EXPECT_TRUE(last().after.contains("Konto für Porto=4910//")) << last().after.toStdString();
    a.texts[0].account = "4920";
    ASSERT_EQ(accounts.save(a), AdvisorAccounts::Outcome::Saved);
    EXPECT_EQ(AuditTrail::changeText(last()), "Konto für Porto: 4910// → 4920//");
    const qint64 before = count();
    ASSERT_EQ(accounts.save(a), AdvisorAccounts::Outcome::Saved);
    EXPECT_EQ(count(), before);
    EXPECT_TRUE(LogCheck::run(db()).whole());
}

TEST_F(Entries, RenumberingAndDataCorrectionAreLoggedLineByLineAndAsAWhole) {
    const qint64 a = book().addLine("01.03.2024", "1,00", "");
    const qint64 b = book().addLine("01.03.2024", "2,00", "");
    SettingsRecord record(&db());
    Renumbering renumbering(db(), dialogs, record);
    qint64 n = count();
    ASSERT_EQ(renumbering.renumber("01.03.2024", "01.03.2024", 70), 72);
    auto got = since(n);
    ASSERT_EQ(got.size(), 4u); // two lines, the settings, the whole
    EXPECT_EQ(got[0].ref, a);
    EXPECT_EQ(got[0].reason, int(Reason::Renumbering));
    EXPECT_EQ(got[0].receipt, "70");
    EXPECT_EQ(got[0].before, "a8=1");
    EXPECT_EQ(got[1].ref, b);
    EXPECT_EQ(got[2].kind, int(Kind::SettingsChanged));
    EXPECT_EQ(got[2].after, "Einst19=72");
    EXPECT_EQ(got[3].kind, int(Kind::Renumbering));
    EXPECT_EQ(got[3].after, "von=01.03.2024;bis=01.03.2024;Startnummer=70;Zeilen=2");

    db().exec("UPDATE Buchungen SET a11 = '2024' WHERE ID = " + QString::number(a) + ";");
    db().exec("UPDATE Buchungen SET a10 = '' WHERE ID = " + QString::number(b) + ";");
    n = count();
    ASSERT_TRUE(DataCorrection::correct(db(), true).ok());
    got = since(n);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(AuditTrail::kindWithReason(got[0]), "Zeile geändert (Datenkorrektur)");
    EXPECT_EQ(got[0].before, "a11=2024");
    EXPECT_EQ(got[0].after, "a11=20240301");
    EXPECT_EQ(AuditTrail::kindWithReason(got[1]), "Zeile gelöscht (Datenkorrektur)");
    EXPECT_EQ(got[1].ref, b);
    EXPECT_EQ(got[2].kind, int(Kind::DataCorrection));
    EXPECT_EQ(got[2].after, "Zeilen ohne Datum entfernt=1;Datumsschlüssel neu=1;Bestände auf 0=0");
    EXPECT_TRUE(LogCheck::run(db()).whole()) << LogCheck::run(db()).text().toStdString();
}

TEST_F(Entries, TheProgramNeitherChangesNorDeletesAnEntryNorForgesOne) {
    book().addLine("01.03.2024", "1,00", "");
    const qint64 n = count();
    QString why = germanText(db().exec("UPDATE Protokoll SET Nachher = 'x' WHERE ID = 1;"));
    EXPECT_TRUE(why.contains("kann nicht geändert werden")) << why.toStdString();
    why = germanText(db().exec("DELETE FROM Protokoll;"));
    EXPECT_TRUE(why.contains("kann nicht gelöscht werden"));
    // An entry with a Pruefsumme of its own choosing is refused: the chain computes it.
    EXPECT_FALSE(db().exec("INSERT INTO Protokoll (Zeit, Art, Pruefsumme) VALUES (1, 1, x'00');"));
    EXPECT_EQ(count(), n);
    // A write the program does not name is logged all the same.
    ASSERT_TRUE(db().exec("UPDATE Buchungen SET n2 = 'von Hand';"));
    EXPECT_EQ(AuditTrail::kindWithReason(last()), "Zeile geändert");
}

TEST_F(Entries, HeadFiltersAndTheCashBookFooterNameTheChain) {
    for (int i = 0; i < 3; ++i)
        book().addLine("01.03.2024", "1,00", "");
    clock.set(QDateTime(QDate(2024, 3, 5), QTime(8, 0)));
    book().addLine("01.03.2024", "2,00", "");
    const LogHead head = AuditTrail::head(db());
    EXPECT_EQ(head.entries, 6);
    EXPECT_EQ(head.last, 6);
    EXPECT_EQ(head.footer(), "Änderungsprotokoll: 6 Einträge, letzte Prüfsumme " +
                                 QString::fromLatin1(head.hash.toHex().left(16)) + "…");
    EXPECT_EQ(AuditTrail::read(db(), {QDate(2024, 3, 5), QDate(2024, 3, 5), 0, 0}).size(), 1u);
    EXPECT_EQ(AuditTrail::read(db(), {{}, QDate(2024, 3, 4), int(Kind::LineAdded), 0}).size(), 3u);
    EXPECT_EQ(AuditTrail::numbers(db(), {}).front(), 6); // newest first
    EXPECT_EQ(AuditTrail::entryTimes(db()).size(), 4u);
    EXPECT_EQ(AuditTrail::grouped(1234567), QString("1\u00a0234\u00a0567"));
}
