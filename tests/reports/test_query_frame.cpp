#include "activate.h"
#include "click_label.h"
#include "picture_button.h"
#include "query_frame.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

TEST(QueryFrame, ControlsSayWhatWasAskedFor) {
    QueryFrame frame;
    frame.show();
    QSignalSpy start(&frame, &QueryFrame::periodStartClicked);
    QSignalSpy end(&frame, &QueryFrame::periodEndClicked);
    QSignalSpy all(&frame, &QueryFrame::listAllClicked);
    QSignalSpy times(&frame, &QueryFrame::allTimesClicked);
    QSignalSpy print(&frame, &QueryFrame::printClicked);
    QSignalSpy csv(&frame, &QueryFrame::exportClicked);
    QTest::mouseClick(frame.periodStart(), Qt::LeftButton);
    QTest::mouseClick(frame.periodEnd(), Qt::LeftButton);
    frame.listAllButton()->setFocus();
    QTest::keyClick(frame.listAllButton(), Qt::Key_Return); // Enter presses the button
    QTest::mouseClick(frame.allTimesButton(), Qt::LeftButton);
    QTest::mouseClick(frame.printButton(), Qt::LeftButton);
    QTest::mouseClick(frame.exportButton(), Qt::LeftButton);
    EXPECT_EQ(start.count(), 1);
    EXPECT_EQ(end.count(), 1);
    EXPECT_EQ(all.count(), 1);
    EXPECT_EQ(times.count(), 1);
    EXPECT_EQ(print.count(), 1);
    EXPECT_EQ(csv.count(), 1);
    EXPECT_EQ(frame.printButton()->objectName(), "Command12");
    EXPECT_EQ(frame.exportButton()->objectName(), "Image1");
    EXPECT_EQ(frame.listAllButton()->objectName(), "Command11");
    EXPECT_EQ(frame.allTimesButton()->objectName(), "Command14");
}

TEST(QueryFrame, SelectorRefillClearsItsTextAndEnterListsTheTextTyped) {
    QueryFrame frame;
    frame.show();
    test::activate(&frame);
    QSignalSpy chosen(&frame, &QueryFrame::textChosen);
    QComboBox* combo = frame.textSelector();
    frame.setTexts({"Bareinnahme", "Porto"});
    combo->setEditText("Por");
    frame.setTexts({"Altdaten", "Bareinnahme", "Kissen", "Kiste", "Porto", "Zins"});
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(combo->count(), 6);

    // Typing stays in the field, whatever its case; the list below follows the prefix.
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), "kIS");
    EXPECT_EQ(combo->currentText(), "kIS");
    EXPECT_TRUE(combo->lineEdit()->hasFocus() || !combo->view()->isVisible());
    EXPECT_FALSE(combo->view()->isVisible()); // the drop-down list does not take the keys
    QTest::keyClick(combo->lineEdit(), Qt::Key_Escape);
    EXPECT_EQ(chosen.count(), 0);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), "Kissen"); // the first that begins so
    combo->setEditText("KISTE");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Enter);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(1).at(0).toString(), "Kiste");
    // Nothing matches, or nothing typed: nothing is listed.
    for (const char* typed : {"Kasse", ""}) {
        combo->setEditText(typed);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    }
    EXPECT_EQ(chosen.count(), 2);
    // Choosing an item from the list is what lists its lines.
    emit combo->activated(5);
    ASSERT_EQ(chosen.count(), 3);
    EXPECT_EQ(chosen.at(2).at(0).toString(), "Zins");
    EXPECT_EQ(combo->lineEdit()->accessibleName(), "nach Buchungstext selektieren");
}

TEST(QueryFrame, ThePeriodLabelsAreButtonsForKeysAndAssistiveTechnology) {
    QueryFrame frame;
    frame.show();
    test::activate(&frame);
    QSignalSpy start(&frame, &QueryFrame::periodStartClicked);
    QSignalSpy end(&frame, &QueryFrame::periodEndClicked);
    frame.listAllButton()->setFocus();
    // Tab from "vom" reaches "bis"; each opens on Enter, Space and Alt+Down.
    frame.periodStart()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(frame.periodStart()->hasFocus());
    QTest::keyClick(frame.periodStart(), Qt::Key_Return);
    QTest::keyClick(frame.periodStart(), Qt::Key_Space);
    QTest::keyClick(frame.periodStart(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(frame.periodStart(), Qt::Key_Down); // no modifier: nothing
    EXPECT_EQ(start.count(), 3);
    QTest::keyClick(frame.periodStart(), Qt::Key_Tab);
    ASSERT_TRUE(frame.periodEnd()->hasFocus());
    QTest::keyClick(frame.periodEnd(), Qt::Key_Enter);
    EXPECT_EQ(end.count(), 1);

    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(frame.periodEnd());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), "bis");
    ASSERT_NE(a->actionInterface(), nullptr);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(end.count(), 2);
}

TEST(QueryFrame, PictureButtonsHighlightUnderThePointer) {
    QueryFrame frame;
    frame.show();
    PictureButton* b = frame.printButton();
    EXPECT_FALSE(b->highlighted());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(b, &enter);
    EXPECT_TRUE(b->highlighted());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    EXPECT_FALSE(b->highlighted());
    EXPECT_EQ(b->accessibleName(), "Kassenbuch drucken");
}
