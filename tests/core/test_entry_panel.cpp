#include "activate.h"
#include "controls.h"
#include "entry_panel.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace tb;

namespace {
struct Panel : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings{&book.db()};
    BookingEntry entry{dialogs, settings};
    EntryPanel panel{entry};
    void SetUp() override {
        panel.resize(786, 120);
        panel.setRates("19", "7");
        panel.show();
        test::activate(&panel);
    }
    template <typename T> T* control(const QString& name) { return test::control<T>(&panel, name); }
    QLineEdit* f(int i) { return control<QLineEdit>(QStringLiteral("Text5_%1").arg(i)); }
    bool yellow(int i) { return f(i)->styleSheet().contains("255,255,0"); }
    // A focus change the operator did not make: another window came up or went.
    void focusBy(QWidget* w, QEvent::Type type, Qt::FocusReason reason) {
        QFocusEvent e(type, reason);
        QApplication::sendEvent(w, &e);
    }
};
} // namespace

TEST_F(Panel, EnterMovesThroughTheFieldsToSaveAndPressesIt) {
    QSignalSpy saved(&panel, &EntryPanel::saveClicked);
    panel.setRate("19");
    f(kTextField)->setFocus();
    QTest::keyClick(f(kTextField), Qt::Key_Return);
    EXPECT_TRUE(f(kRemarkField)->hasFocus());
    QTest::keyClick(f(kRemarkField), Qt::Key_Return);
    EXPECT_TRUE(f(kReceiptField)->hasFocus());
    QTest::keyClick(f(kReceiptField), Qt::Key_Return);
    EXPECT_TRUE(f(kPaymentField)->hasFocus());
    QTest::keyClick(f(kPaymentField), Qt::Key_Return);
    EXPECT_TRUE(control<QPushButton>("Command6")->hasFocus());
    EXPECT_TRUE(control<QLabel>("Label12")->isVisible()); // "Eintrag speichern mit Enter"
    EXPECT_EQ(saved.count(), 0);
    QTest::keyClick(control<QPushButton>("Command6"), Qt::Key_Return);
    EXPECT_EQ(saved.count(), 1);
    f(kNumberField)->setFocus();
    QTest::keyClick(f(kNumberField), Qt::Key_Enter);
    EXPECT_TRUE(control<QPushButton>("Command6")->hasFocus());
}

TEST_F(Panel, FocusedFieldIsYellowAndTheOthersWhite) {
    f(kRemarkField)->setFocus();
    EXPECT_TRUE(yellow(kRemarkField));
    f(kReceiptField)->setFocus();
    EXPECT_TRUE(yellow(kReceiptField));
    EXPECT_FALSE(yellow(kRemarkField));
}

TEST_F(Panel, AmountFieldsTakeAmountKeysOnlyAndTheTextOnlyThroughThePicker) {
    QSignalSpy picker(&panel, &EntryPanel::bookingTextWanted);
    f(kReceiptField)->setFocus();
    QTest::keyClicks(f(kReceiptField), "1a2.5K");
    EXPECT_EQ(f(kReceiptField)->text(), "12,5K");
    f(kPaymentField)->setFocus();
    QTest::keyClicks(f(kPaymentField), ",");
    EXPECT_EQ(f(kPaymentField)->text(), "0,");
    f(kTextField)->setFocus();
    QTest::keyClicks(f(kTextField), "xy");
    EXPECT_EQ(f(kTextField)->text(), "");
    EXPECT_EQ(picker.count(), 2);
}

TEST_F(Panel, SwitchingWindowsIsNoLeavingOfAField) {
    // The rate is empty: leaving the amount field by the operator would say so.
    f(kReceiptField)->setFocus();
    QTest::keyClicks(f(kReceiptField), "10");
    focusBy(f(kReceiptField), QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    focusBy(f(kReceiptField), QEvent::FocusOut, Qt::PopupFocusReason);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(yellow(kReceiptField));

    // Coming back to the receipt-number field does not raise the next number again.
    panel.setRate("19");
    settings.setNextReceipt("5");
    settings.save();
    f(kNumberField)->clear();
    f(kNumberField)->setFocus(); // the operator's move: 5 taken, 6 stored
    EXPECT_EQ(f(kNumberField)->text(), "5");
    EXPECT_EQ(book.setting("Einst19"), "6");
    focusBy(f(kNumberField), QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    focusBy(f(kNumberField), QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(book.setting("Einst19"), "6");
    // Leaving an amount field for real is a leaving: the rate check speaks then.
    ASSERT_TRUE(dialogs.messages.empty());
    panel.setRate("");
    f(kReceiptField)->setFocus();
    f(kRemarkField)->setFocus();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.last().text, "Sie haben keine MwSt. ausgewählt.");
}

TEST_F(Panel, MixedRateClosesThePanelAndSaysSo) {
    QSignalSpy dismissed(&panel, &EntryPanel::dismissed);
    panel.setRate("19/7");
    f(kReceiptField)->setFocus();
    QTest::keyClicks(f(kReceiptField), "5");
    f(kRemarkField)->setFocus();
    EXPECT_EQ(dialogs.last().title, "Mischsteuer");
    EXPECT_TRUE(panel.isHidden());
    EXPECT_EQ(dismissed.count(), 1);
}

TEST_F(Panel, StatesAndTheColumnsTheFieldsFollow) {
    panel.setState(EntryPanel::State::Neuanlage);
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Neuanlage");
    EXPECT_EQ(control<QLabel>("Label1")->property("stateColor").value<QColor>(),
              QColor(192, 255, 192));
    panel.setState(EntryPanel::State::Stornieren);
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Eintrag stornieren");
    EXPECT_EQ(control<QLabel>("Label1")->property("stateColor").value<QColor>(),
              QColor(255, 192, 192));
    panel.setColumnVisible(3, false);
    EXPECT_FALSE(f(kReceiptField)->isVisible());
    panel.setColumnVisible(1, false);
    EXPECT_FALSE(control<QLineEdit>("Text6")->isVisible());
    // The second tax box shows only for a two-rate line, and only with its column.
    panel.setTwoRates(true);
    EXPECT_TRUE(control<QLineEdit>("Text7")->isVisible());
    EXPECT_FALSE(control<QComboBox>("Combo1")->isEnabled());
    panel.setColumnVisible(2, false);
    EXPECT_FALSE(control<QLineEdit>("Text7")->isVisible());
    panel.setColumnVisible(5, false);
    EXPECT_TRUE(f(kNumberField)->isVisible()); // the receipt number stays under "Beleg"
    panel.setLineCount(3);
    EXPECT_EQ(control<QLabel>("Label11")->text(), "3 Buchungen");
}

TEST_F(Panel, TheYellowIsTheFieldsOnlyAndTheRateIsHeardByItsCaption) {
    f(kRemarkField)->setFocus();
    ASSERT_TRUE(yellow(kRemarkField));
    std::unique_ptr<QMenu> menu(f(kRemarkField)->createStandardContextMenu());
    menu->ensurePolished();
    const QImage shown = menu->grab().toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() - 3), QColor(255, 255, 0));
    EXPECT_NE(QColor(f(kRemarkField)->grab().toImage().pixel(5, 5)), QColor(255, 255, 255));

    panel.setRate("19");
    for (QComboBox* c : {control<QComboBox>("Combo1"), control<QComboBox>("Combo2")}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c->lineEdit());
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(a->text(QAccessible::Name).startsWith("MwSt.-Satz"))
            << a->text(QAccessible::Name).toStdString();
    }
}
