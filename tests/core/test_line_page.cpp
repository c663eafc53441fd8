#include "activate.h"
#include "data_view_model.h"
#include "line_page.h"
#include "temp_book.h"
#include "value_display.h"

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Page : ::testing::Test {
    test::TempBook book;
    DataView lines{&book.db(), "Buchungen", "Select * from Buchungen Order by ID;"};
    std::unique_ptr<LinePage> page;
    void SetUp() override {
        for (const char* amount : {"1,00", "2,00", "3,00"})
            book.addLine("01.03.2024", amount, "");
        lines.refresh();
        page = std::make_unique<LinePage>(lines);
        page->resize(780, 360);
        page->show();
        test::activate(page.get());
        page->reload();
        QObject::connect(page.get(), &LinePage::currentRowChanged,
                         [this](int row) { lines.moveTo(row); });
    }
};
} // namespace

TEST_F(Page, KeysMoveTheCurrentRecordWithTheHighlight) {
    QTableView* grid = page->grid();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(lines.position(), 1);
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(lines.position(), 2);
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(lines.position(), 0);
    QTest::keyClick(grid, Qt::Key_PageDown);
    EXPECT_EQ(lines.position(), 2);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(lines.position(), 1);
    // Re-reading the rows keeps the highlight on the view's current record, silently.
    QSignalSpy moved(page.get(), &LinePage::currentRowChanged);
    lines.moveTo(2);
    page->reload();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(moved.count(), 0);
}

TEST_F(Page, EnterAndDoubleClickAskForTheCancellationPanel) {
    QSignalSpy activated(page.get(), &LinePage::rowActivated);
    page->grid()->setFocus();
    QTest::keyClick(page->grid(), Qt::Key_Down);
    QTest::keyClick(page->grid(), Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
    EXPECT_FALSE(page->grid()->tabKeyNavigation()); // Tab leaves the grid
}

TEST_F(Page, ColumnsAndTotalsFollowTheCaptions) {
    page->setColumnVisible(2, false);
    EXPECT_TRUE(page->grid()->isColumnHidden(5));
    EXPECT_FALSE(page->total(2)->isVisible());
    page->layoutColumns();
    // Each total stands under its own column.
    const QRect receipts = page->columnRect(6, page.get());
    EXPECT_EQ(page->total(3)->mapTo(page.get(), QPoint(0, 0)).x(), receipts.x());
    EXPECT_EQ(page->total(3)->width(), receipts.width());
}
