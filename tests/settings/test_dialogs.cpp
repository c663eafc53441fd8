#include "kassenbestand.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "vorgaben.h"

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
