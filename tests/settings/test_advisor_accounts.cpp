#include "activate.h"
#include "advisor_accounts.h"
#include "cash_file.h"
#include "haupt.h"
#include "konten_steuerberater.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
AdvisorSettings valid() {
    AdvisorSettings s;
    s.advisor = "29098";
    s.client = "55003";
    return s;
}

std::string problemOf(const AdvisorSettings& s) {
    const auto p = AdvisorAccounts::check(s);
    return p ? p->text.toStdString() : std::string();
}
} // namespace

TEST(AdvisorAccounts, EveryFieldIsCheckedWithItsReason) {
    AdvisorSettings s = valid();
    EXPECT_EQ(problemOf(s), "");
    s.advisor = "1000";
    EXPECT_EQ(problemOf(s), "Die Beraternummer ist eine Zahl von 1001 bis 9999999.");
    s.advisor = "12a4";
    EXPECT_EQ(AdvisorAccounts::check(s)->field, AdvisorField::Advisor);
    s.advisor = "9999999";
    s.client = "100000";
    EXPECT_EQ(problemOf(s), "Die Mandantennummer ist eine Zahl von 1 bis 99999.");
    s.client = "1";
    s.fyDay = "29";
    s.fyMonth = "2"; // not every year has it
    EXPECT_EQ(problemOf(s), "Der Beginn des Wirtschaftsjahres ist kein Tag, den es in jedem Jahr "
                            "gibt. Bitte Tag und Monat eingeben, z. B. 1 und 7 für den 1. Juli.");
    s.fyDay = "31";
    s.fyMonth = "12";
    s.accountLength = "9";
    EXPECT_EQ(problemOf(s), "Die Sachkontenlänge ist eine Zahl von 4 bis 8.");
    s.accountLength = "4";
    s.cash = "123456"; // one digit more than the ledger's accounts is still an account
    EXPECT_EQ(problemOf(s), "Das Kassenkonto ist keine gültige Kontonummer: nur Ziffern, "
                            "höchstens 5 Stellen, nicht 0.");
    s.cash = "1000";
    s.defaults[3] = "1000";
    EXPECT_EQ(problemOf(s), "Das Konto für Ausgaben zum MwSt.-Satz 2 darf nicht das Kassenkonto "
                            "sein.");
    EXPECT_EQ(AdvisorAccounts::check(s)->field, AdvisorField::PaymentRate2);
    s.defaults[3] = "3300";

    s.texts = {{"Porto", "4910", false, ""}, {"Miete", "", true, ""}};
    EXPECT_EQ(problemOf(s), "Beim Buchungstext „Miete“ ist „Automatikkonto“ angekreuzt, aber kein "
                            "Konto eingetragen.");
    EXPECT_EQ(AdvisorAccounts::check(s)->row, 1);
    s.texts[1] = {"Miete", "", false, "9"};
    EXPECT_EQ(problemOf(s), "Der Buchungstext „Miete“ hat einen Steuerschlüssel, aber kein Konto.");
    s.texts[1] = {"Miete", "4210", true, "9"};
    EXPECT_EQ(problemOf(s), "Der Buchungstext „Miete“ hat ein Automatikkonto: Es rechnet die "
                            "Steuer selbst, ein Steuerschlüssel ist dort ein Fehler.");
    s.texts[1] = {"Miete", "4210", false, "0"};
    EXPECT_EQ(problemOf(s), "Der Steuerschlüssel des Buchungstextes „Miete“ ist eine Zahl von 1 "
                            "bis 9999.");
    EXPECT_EQ(AdvisorAccounts::check(s)->field, AdvisorField::TextTaxKey);

    // The export needs both numbers; the settings may be stored without them.
    AdvisorSettings empty;
    EXPECT_EQ(problemOf(empty), "");
    EXPECT_EQ(AdvisorAccounts::missingForExport(empty),
              QStringList({"die Beraternummer", "die Mandantennummer"}));
}

TEST(AdvisorAccounts, AnotherChartReplacesOnlyItsStandardAccounts) {
    AdvisorSettings s = valid();
    s.defaults[1] = "8310"; // chosen by the operator
    AdvisorAccounts::switchChart(s, Chart::Skr04);
    EXPECT_EQ(s.cash, "1600");
    EXPECT_EQ(s.defaults, (std::array<QString, 4>{"4400", "8310", "5400", "5300"}));
    AdvisorAccounts::switchChart(s, Chart::Skr03);
    EXPECT_EQ(s.defaults, (std::array<QString, 4>{"8400", "8310", "3400", "3300"}));
    EXPECT_EQ(AdvisorAccounts::chartCode(s.chart), "03");
}

TEST(AdvisorAccounts, FiscalYearsStartOnTheirDay) {
    AdvisorSettings s = valid();
    s.fyDay = "1";
    s.fyMonth = "7";
    EXPECT_EQ(AdvisorAccounts::fiscalYearStart(s, QDate(2024, 6, 30)), QDate(2023, 7, 1));
    EXPECT_EQ(AdvisorAccounts::fiscalYearStart(s, QDate(2024, 7, 1)), QDate(2024, 7, 1));
}

TEST(AdvisorAccounts, StoredInTheBookAndBroughtIntoOlderBooks) {
    test::TempHome home;
    const QString path = home.path() + "/Alt.kas";
    ASSERT_TRUE(cashfile::createEmpty(path));
    auto db = Database::open(path, {});
    // A book of an earlier version has neither table; the start brings them in.
    db->exec("DROP TABLE Beraterkonten;");
    db->exec("DROP TABLE Kontierung;");
    db->exec("INSERT INTO Buchungen (a1, n1, a10) VALUES ('Storno', 'STORNO  Miete', "
             "'01.03.2024');");
    db->exec("INSERT INTO Buchungen (a1, n1, a10) VALUES ('', 'Äpfel', '01.03.2024');");
    EXPECT_EQ(AdvisorAccounts::load(*db), AdvisorSettings());
    ASSERT_TRUE(cashfile::upgrade(*db));
    ASSERT_TRUE(cashfile::upgrade(*db)); // a second time changes nothing

    test::ScriptedDialogs dialogs;
    AdvisorSettings s = valid();
    s.fyDay = "1";
    s.fyMonth = "7";
    s.chart = Chart::Skr04;
    s.texts = {{"Miete", "4210", false, "9"}, {"Leer", "", false, ""}};
    ASSERT_EQ(AdvisorAccounts(*db, dialogs).save(s), AdvisorAccounts::Outcome::Saved);
    EXPECT_EQ(db->scalar("SELECT WJBeginn || Kontenrahmen FROM Beraterkonten;"), "01.07.04");
    AdvisorSettings back = AdvisorAccounts::load(*db);
    EXPECT_EQ(back.fyDay, "01");
    back.fyDay = "1";
    back.fyMonth = "7";
    s.texts.pop_back(); // a text without anything is not stored
    EXPECT_EQ(back, s);
    // Every booking text once: the list's, the lines' (a counter-entry's under its original's)
    // and those with an account.
    EXPECT_EQ(AdvisorAccounts::bookingTexts(*db), QStringList({"Äpfel", "Bareinnahme", "Miete"}));

    // A refusal names the field and stores nothing.
    s.client = "0";
    AdvisorProblem p;
    EXPECT_EQ(AdvisorAccounts(*db, dialogs).save(s, &p), AdvisorAccounts::Outcome::Invalid);
    EXPECT_EQ(p.field, AdvisorField::Client);
    EXPECT_EQ(dialogs.last().title, "Konten für den Steuerberater");
    EXPECT_EQ(AdvisorAccounts::load(*db).client, "55003");
    db.reset();
    // The file stays one every version of the engine reads.
    EXPECT_EQ(germanText(cashfile::verifyBook(path, {})).toStdString(), "");
}

namespace {
struct Window : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<KontenSteuerberater> w;
    void open() {
        w = std::make_unique<KontenSteuerberater>(book.db(), dialogs);
        w->show();
        test::activate(w.get());
    }
    int rowOf(const QString& text) const {
        for (int r = 0; r < w->texts()->rowCount(); ++r)
            if (w->texts()->item(r, KontenSteuerberater::ColText)->text() == text)
                return r;
        return -1;
    }
};
} // namespace

TEST_F(Window, FieldsAreCheckedAsTheyAreTypedAndTheKeyboardReachesEverything) {
    book.db().exec("INSERT INTO Buchungstext (a1) VALUES ('Porto');");
    open();
    EXPECT_EQ(w->windowTitle(), "Konten für den Steuerberater");
    EXPECT_EQ(w->cash()->text(), "1000");
    EXPECT_EQ(w->defaultAccount(0)->accessibleName(), "Einnahmen zum MwSt.-Satz 1 (19 %)");
    EXPECT_EQ(w->texts()->rowCount(), 2);

    // Only digits go in; the range is told while typing.
    QTest::keyClick(w->advisor(), 'x');
    EXPECT_EQ(dialogs.last().text, "Falsche Eingabe !      nur Zahlenwerte erlaubt");
    QTest::keyClicks(w->advisor(), "99");
    EXPECT_EQ(w->advisor()->text(), "99");
    EXPECT_EQ(w->hint()->text(), "Die Beraternummer ist eine Zahl von 1001 bis 9999999.");
    EXPECT_EQ(w->advisor()->styleSheet(), "background: rgb(255,192,192);");
    QTest::keyClicks(w->advisor(), "01");
    EXPECT_EQ(w->hint()->text(), "");
    EXPECT_EQ(w->advisor()->styleSheet(), "");

    // Enter moves on from field to field, Tab goes through every control in order.
    w->advisor()->setFocus();
    QTest::keyClick(w->advisor(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->client());
    QStringList names;
    QWidget* at = w->advisor();
    for (int i = 0; i < 14; ++i) {
        names << at->accessibleName();
        at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisibleTo(w.get()))
            at = at->nextInFocusChain();
    }
    EXPECT_EQ(names,
              QStringList({"Beraternummer", "Mandantennummer", "Beginn des Wirtschaftsjahres: Tag",
                           "Beginn des Wirtschaftsjahres: Monat", "Sachkontenlänge", "Kontenrahmen",
                           "Kassenkonto", "Einnahmen zum MwSt.-Satz 1 (19 %)",
                           "Einnahmen zum MwSt.-Satz 2 (7 %)", "Ausgaben zum MwSt.-Satz 1 (19 %)",
                           "Ausgaben zum MwSt.-Satz 2 (7 %)", "Konten der Buchungstexte",
                           "Speichern", "Abbrechen"}));

    // The table: typing starts the account cell's editor, Enter takes it, Space ticks
    // "Automatikkonto"; a tax key on an automatic account is told at once.
    const int porto = rowOf("Porto");
    w->texts()->setFocus();
    w->texts()->setCurrentCell(porto, KontenSteuerberater::ColAccount);
    QTest::keyClick(w->texts(), '4');
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, w->texts());
    QTest::keyClicks(editor, "910");
    EXPECT_EQ(editor->accessibleName(), "Konto für „Porto“");
    QTest::keyClick(editor, 'a');
    EXPECT_EQ(dialogs.last().text, "Falsche Eingabe !      nur Zahlenwerte erlaubt");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the cell takes the editor's text queued
    EXPECT_EQ(w->texts()->item(porto, KontenSteuerberater::ColAccount)->text(), "4910");
    w->texts()->setFocus();
    w->texts()->setCurrentCell(porto, KontenSteuerberater::ColAutomatic);
    QTest::keyClick(w->texts(), Qt::Key_Space);
    EXPECT_EQ(w->texts()->item(porto, KontenSteuerberater::ColAutomatic)->checkState(),
              Qt::Checked);
    w->texts()->item(porto, KontenSteuerberater::ColTaxKey)->setText("9");
    EXPECT_EQ(w->hint()->text(), "Der Buchungstext „Porto“ hat ein Automatikkonto: Es rechnet die "
                                 "Steuer selbst, ein Steuerschlüssel ist dort ein Fehler.");
    EXPECT_EQ(w->texts()->item(porto, KontenSteuerberater::ColTaxKey)->background().color(),
              QColor(255, 192, 192));

    // "Speichern" refuses, says why and puts the focus on the cell.
    w->texts()->setCurrentCell(0, KontenSteuerberater::ColText);
    EXPECT_FALSE(w->save());
    EXPECT_EQ(dialogs.last().text, w->hint()->text());
    EXPECT_EQ(w->texts()->currentRow(), porto);
    EXPECT_EQ(w->texts()->currentColumn(), KontenSteuerberater::ColTaxKey);
    EXPECT_TRUE(w->isVisible());
    w->texts()->item(porto, KontenSteuerberater::ColTaxKey)->setText("");
    QTest::keyClick(w->saveButton(), Qt::Key_Return);
    EXPECT_FALSE(w->isVisible());
    const AdvisorSettings stored = AdvisorAccounts::load(book.db());
    EXPECT_EQ(stored.advisor, "9901");
    ASSERT_EQ(stored.texts.size(), 1u);
    EXPECT_EQ(stored.texts[0], (TextAccount{"Porto", "4910", true, ""}));
}

TEST_F(Window, ChartAndEscape) {
    open();
    w->chart()->setCurrentIndex(1);
    EXPECT_EQ(w->chart()->currentText(), "SKR 04");
    EXPECT_EQ(w->cash()->text(), "1600");
    EXPECT_EQ(w->defaultAccount(2)->text(), "5400");

    // Escape with changes asks; No closes without storing.
    QTest::keyClick(w->cash(), Qt::Key_Escape);
    EXPECT_EQ(dialogs.last().text, "Die Änderungen an den Konten für den Steuerberater sind noch "
                                   "nicht gespeichert. Sollen sie gespeichert werden?");
    EXPECT_EQ(dialogs.last().buttons, Buttons::YesNo);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Beraterkonten;"), "0");

    // Yes stores them; without changes Escape just closes.
    open();
    w->chart()->setCurrentIndex(1);
    dialogs.answers = {Answer::Yes};
    QTest::keyClick(w->cash(), Qt::Key_Escape);
    EXPECT_EQ(AdvisorAccounts::load(book.db()).cash, "1600");
    const size_t asked = dialogs.messages.size();
    open();
    QTest::keyClick(w->cash(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(dialogs.messages.size(), asked);
}

// The main window's two entries: the accounts behind the password, the export of the query
// period into the data file's folder.
TEST(HauptMenu, TheEntriesOpenTheAccountsAndWriteTheBatch) {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 1), QTime(10, 0))};
    ManualScheduler scheduler;
    SettingsStore store;
    store.save("Startup", "Datenpfad", book.path());
    AdvisorSettings s = valid();
    ASSERT_EQ(AdvisorAccounts(book.db(), dialogs).save(s), AdvisorAccounts::Outcome::Saved);
    book.addDay("01.03.2024");
    book.addLine("01.03.2024", "11,90", "");
    Haupt w(HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()});
    auto action = [&](const QString& text) -> QAction* {
        for (QAction* menu : w.menuBar()->actions())
            for (QAction* a : menu->menu()->actions())
                if (a->text() == text)
                    return a;
        return nullptr;
    };
    QAction* accounts = action("Konten für den &Steuerberater");
    QAction* batch = action("&Export für den Steuerberater …");
    ASSERT_NE(accounts, nullptr);
    ASSERT_NE(batch, nullptr);

    const QString target = book.folder() + "/EXTF.csv";
    dialogs.files = {target};
    batch->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].preset,
              book.folder() + "/EXTF_Buchungsstapel_20240101_20241231.csv");
    EXPECT_TRUE(QFile::exists(target));

    // With a password of its own the accounts are behind it, as the settings are.
    w.guard().setCurrentPassword("geheim");
    dialogs.typedPasswords = {"falsch"};
    accounts->trigger();
    EXPECT_EQ(dialogs.passwordPrompts, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
