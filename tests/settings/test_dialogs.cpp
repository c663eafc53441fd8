#include "activate.h"
#include "kassenbestand.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "vorgaben.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

TEST(Kassenbestand, EmptyStoresZeroFrameKeepsOldLettersRefused) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    book.setSetting("Einst15", "150,00");
    {
        Kassenbestand dlg(&book.db(), dialogs);
        dlg.show();
        EXPECT_EQ(dlg.field()->text(), "150,00");
        dlg.field()->setText("99");
        dlg.close(); // by the frame: nothing stored
    }
    EXPECT_EQ(book.setting("Einst15"), "150,00");
    Kassenbestand dlg(&book.db(), dialogs);
    dlg.show();
    dlg.field()->clear();
    QTest::keyClick(dlg.field(), 'a');
    EXPECT_EQ(dialogs.last().text, "Falsche Eingabe !      nur Zahlenwerte erlaubt");
    EXPECT_EQ(dialogs.last().title, "Fehler");
    EXPECT_TRUE(dlg.field()->text().isEmpty());
    dlg.save();
    EXPECT_EQ(book.setting("Einst15"), "0");
}

TEST(Vorgaben, FrameCloseKeepsRatesButNotCaptionsSaveStoresBoth) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    {
        Vorgaben dlg(&book.db(), dialogs);
        dlg.show();
        dlg.rate1()->setText("16");
        dlg.caption(1)->setText("Neu");
        dlg.close();
    }
    EXPECT_EQ(book.setting("Einst16"), "16");
    EXPECT_EQ(book.setting("Einst10"), "St 1");

    Vorgaben dlg(&book.db(), dialogs);
    dlg.show();
    for (int k = 1; k <= 5; ++k)
        dlg.caption(k)->clear();
    QTest::keyClick(dlg.receipt(), 'x');
    EXPECT_EQ(dialogs.last().text, "Falsche Eingabe !      nur Zahlenwerte erlaubt");
    QTest::keyClick(dlg.receipt(), '7');
    EXPECT_EQ(dlg.receipt()->text(), "17");
    dlg.toggleTaxSwitch();
    EXPECT_EQ(dlg.taxSwitch()->text(), "X");
    dlg.toggleTaxSwitch();
    dlg.toggleTaxSwitch();
    dlg.saveAndClose();
    EXPECT_EQ(book.setting("Einst10"), "");
    EXPECT_EQ(book.setting("Einst12"), "");
    EXPECT_EQ(book.setting("Einst19"), "17");
    EXPECT_EQ(book.setting("Einst20"), "X");
}

TEST(Kassenbestand, TypedPointIsACommaAndNoAmountIsRefused) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    book.setSetting("Einst15", "150,00");
    Kassenbestand dlg(&book.db(), dialogs);
    dlg.show();
    dlg.field()->clear();
    QTest::keyClicks(dlg.field(), "12.5");
    EXPECT_EQ(dlg.field()->text(), "12,5");
    dlg.field()->setText("1,2,3");
    EXPECT_FALSE(dlg.save());
    EXPECT_EQ(dialogs.last().text, "Der Bestand der Wechselkasse ist kein gültiger Betrag. Bitte "
                                   "geben Sie ihn z. B. als 150,00 ein.");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(book.setting("Einst15"), "150,00");
    for (const char* bad : {"-", "1.5", "1000000000,00"})
        EXPECT_FALSE(Kassenbestand::isStorable(bad)) << bad;
    // "1.500" on the keypad: refused as typed, never stored as 1,50.
    dlg.field()->clear();
    QTest::keyClicks(dlg.field(), "1.500");
    EXPECT_FALSE(dlg.save());
    EXPECT_EQ(dialogs.last().text, "1,500 ist kein gültiger Betrag (höchstens zwei "
                                   "Nachkommastellen).");
    EXPECT_EQ(dlg.field()->text(), "1,500");
    EXPECT_EQ(book.setting("Einst15"), "150,00");
    // Enter on "speichern" presses it.
    dlg.field()->setText("1.500,50");
    dlg.saveButton()->setFocus();
    QTest::keyClick(dlg.saveButton(), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(book.setting("Einst15"), "1.500,50"); // stored as typed
}

TEST(Vorgaben, EscapeClosesAsTheFrameDoesAndEnterSaves) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    {
        Vorgaben dlg(&book.db(), dialogs);
        dlg.show();
        dlg.rate2()->setText("5");
        dlg.caption(2)->setText("Neu");
        QTest::keyClick(dlg.rate2(), Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
    }
    EXPECT_EQ(book.setting("Einst17"), "5");
    EXPECT_EQ(book.setting("Einst11"), "St 2");

    Vorgaben dlg(&book.db(), dialogs);
    dlg.show();
    test::activate(&dlg);
    // Only typed characters are judged: navigation and modifier keys pass without a word.
    for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_Delete,
                      Qt::Key_Up, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyClick(dlg.receipt(), k);
    EXPECT_TRUE(dialogs.messages.empty());
    QTest::keyClick(dlg.receipt(), '-');
    EXPECT_EQ(dialogs.messages.size(), 1u);
    dlg.caption(5)->setText("Beleg");
    dlg.caption(5)->setFocus();
    QTest::keyClick(dlg.caption(5), Qt::Key_Return);
    EXPECT_TRUE(dlg.saveButton()->hasFocus());
    QTest::keyClick(dlg.saveButton(), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(book.setting("Einst14"), "Beleg");
}

TEST(SettingsRecord, ABusyFileKeepsWhatWasReadAndNeverAddsASecondRecord) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord record(&book.db());
    ASSERT_EQ(record.rate1(), "19");
    auto other = Database::open(book.path(), {});
    ASSERT_TRUE(other->exec("BEGIN EXCLUSIVE;")); // another program holds the file
    EXPECT_FALSE(record.reload());
    EXPECT_EQ(record.rate1(), "19");
    Vorgaben dlg(&book.db(), dialogs);
    EXPECT_FALSE(dlg.loaded());
    other->exec("ROLLBACK;");
    dlg.reject(); // closed after the file was free again: the empty fields are not stored
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Einstellungen;"), "1");
    EXPECT_EQ(book.setting("Einst16"), "19");
    EXPECT_TRUE(record.reload());
    EXPECT_TRUE(record.loaded());
}
