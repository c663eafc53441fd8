#include "calendar_math.h"
#include "frm_calendar.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

TEST(CalendarMath, CellsAndRows) {
    // September 2024 begins on a Sunday, July 2024 on a Monday.
    EXPECT_EQ(calendar::cellOf(QDate(2024, 9, 1)).column, 0);
    EXPECT_EQ(calendar::cellOf(QDate(2024, 9, 1)).row, 0);
    EXPECT_EQ(calendar::cellOf(QDate(2024, 7, 1)).column, 1);
    // March 2025 has 31 days and begins on a Saturday: six rows.
    EXPECT_EQ(calendar::rowsNeeded(QDate(2025, 3, 1)), 6);
    EXPECT_EQ(calendar::cellOf(QDate(2025, 3, 31)).row, 5);
    EXPECT_EQ(calendar::dayAt(QDate(2024, 7, 1), 40, 5, 34, 24), 1);
    EXPECT_EQ(calendar::dayAt(QDate(2024, 7, 1), 5, 5, 34, 24), 0); // empty cell
    EXPECT_EQ(calendar::addMonths(QDate(2024, 1, 31), 1), QDate(2024, 2, 29));
}

TEST(FrmCalendar, KeysMoveAndChoose) {
    frmCalendar cal;
    cal.setCurrentDate(QDate(2024, 1, 31));
    cal.show();
    QTest::keyClick(cal.grid(), Qt::Key_PageDown);
    EXPECT_EQ(cal.currentDate(), QDate(2024, 2, 29));
    QTest::keyClick(cal.grid(), Qt::Key_Right);
    QTest::keyClick(cal.grid(), Qt::Key_Up);
    EXPECT_EQ(cal.currentDate(), QDate(2024, 2, 23));
    EXPECT_EQ(cal.monthCaption(), QString::fromUtf8("Februar 2024"));
    QTest::keyClick(cal.grid(), Qt::Key_Return);
    EXPECT_TRUE(cal.chosen());
}

TEST(FrmCalendar, EscapeLeavesTheDateEmptyCellChoosesTheMarkedOne) {
    frmCalendar esc;
    esc.show();
    QTest::keyClick(esc.grid(), Qt::Key_Escape);
    EXPECT_FALSE(esc.chosen());

    frmCalendar cal;
    cal.setCurrentDate(QDate(2024, 2, 10));
    cal.show();
    // The last cells of the last row are empty in February 2024.
    const QPoint empty(6 * cal.grid()->cellWidth() + 5, 5 * cal.grid()->cellHeight() + 5);
    QTest::mouseClick(cal.grid(), Qt::LeftButton, {}, empty);
    EXPECT_TRUE(cal.chosen());
    EXPECT_EQ(cal.currentDate(), QDate(2024, 2, 10));
}

TEST(FrmCalendar, TodayBoldOnlyInItsMonth) {
    frmCalendar cal;
    cal.setToday(QDate(2024, 3, 5));
    cal.setCurrentDate(QDate(2024, 3, 20));
    EXPECT_TRUE(cal.grid()->isBold(5));
    EXPECT_FALSE(cal.grid()->isBold(20));
    cal.setCurrentDate(QDate(2024, 4, 5));
    EXPECT_FALSE(cal.grid()->isBold(5));
}

TEST(FrmCalendar, WeekdayHeaderIsTheOneTextWithItsBlanks) {
    tb::frmCalendar cal;
    const auto* header = cal.findChild<QLabel*>("Label2");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text(), "Mo    Di     Mi     Do    Fr    Sa  ");
    // The mark is four lines around the cell: the inside keeps the grid's own colour.
    cal.setCurrentDate(QDate(2024, 3, 13));
    cal.grid()->resize(cal.grid()->size());
    const QImage img = cal.grid()->grab().toImage();
    const QRect cell = cal.grid()->cellRect(13);
    const QColor inside = img.pixelColor(cell.left() + 3, cell.top() + 3);
    const QColor outside =
        img.pixelColor(cal.grid()->cellRect(20).left() + 3, cal.grid()->cellRect(20).top() + 3);
    EXPECT_EQ(inside, outside);
    EXPECT_NE(img.pixelColor(cell.left(), cell.center().y()), outside);
}
