#include "activate.h"
#include "click_label.h"
#include "picture_button.h"
#include "query_frame.h"

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

TEST(QueryFrame, SelectorRefillClearsItsTextAndSwallowsEnterAndEscape) {
    QueryFrame frame;
    frame.show();
    test::activate(&frame);
    QSignalSpy chosen(&frame, &QueryFrame::textChosen);
    QComboBox* combo = frame.textSelector();
    frame.setTexts({"Bareinnahme", "Porto"});
    combo->setEditText("Por");
    frame.setTexts({"Bareinnahme", "Porto", "Zins"});
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(combo->count(), 3);
    combo->setEditText("Porto");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Escape);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(combo->currentText(), "Porto");
    // Choosing an item from the list is what lists its lines.
    emit combo->activated(2);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), "Zins");
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
