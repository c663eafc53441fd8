#include "activate.h"
#include "scripted_dialogs.h"
#include "till_count_page.h"
#include "value_display.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Page : ::testing::Test {
    test::ScriptedDialogs dialogs;
    TillCountPage page{dialogs};
    int changes = 0;
    void SetUp() override {
        QObject::connect(&page, &TillCountPage::countChanged, [this] { ++changes; });
        page.show();
        test::activate(&page);
    }
    bool yellow(int line) { return page.countField(line)->styleSheet().contains("255,255,0"); }
};
} // namespace

TEST_F(Page, CountsGiveLineTotalsAndTheCountedTotal) {
    QTest::keyClicks(page.countField(1), "3");
    QTest::keyClicks(page.countField(14), "7");
    EXPECT_EQ(page.lineTotal(1)->text(), "1500,00");
    EXPECT_EQ(page.lineTotal(14)->text(), "0,14");
    EXPECT_EQ(page.counted()->text(), "1500,14");
    EXPECT_EQ(page.counted()->accessibleDescription(), "1500,14");
    EXPECT_GE(changes, 2);
    page.countField(1)->clear();
    EXPECT_EQ(page.lineTotal(1)->text(), "");
    EXPECT_EQ(page.counted()->text(), "0,14");
    QTest::keyClicks(page.countField(2), "x"); // no number: the total stays as it was
    EXPECT_EQ(page.lineTotal(2)->text(), "");
    page.countField(3)->setText("2");
    page.countField(3)->setText("2x");
    EXPECT_EQ(page.lineTotal(3)->text(), "200,00");
}

TEST_F(Page, ServiceCodeIsAlsoACountOfNotes) {
    QTest::keyClicks(page.countField(1), "4817");
    EXPECT_TRUE(page.serviceCode());
    EXPECT_EQ(page.lineTotal(1)->text(), "2408500,00");
    QTest::keyClicks(page.countField(1), " ");
    EXPECT_FALSE(page.serviceCode());
}

TEST_F(Page, EnterWalksTheFieldsAndWrapsFromFifteenToOne) {
    page.countField(1)->setFocus();
    EXPECT_TRUE(yellow(1));
    QTest::keyClick(page.countField(1), Qt::Key_Return);
    EXPECT_TRUE(page.countField(2)->hasFocus());
    EXPECT_TRUE(yellow(2));
    EXPECT_FALSE(yellow(1));
    page.countField(15)->setFocus();
    QTest::keyClick(page.countField(15), Qt::Key_Enter);
    EXPECT_TRUE(page.countField(1)->hasFocus());
}

TEST_F(Page, ClickOnTheCountedTotalAsksForTheCounts) {
    page.countField(9)->setFocus();
    QTest::mouseClick(page.counted(), Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.last().text, "Bitte geben Sie die Anzahl der Scheine und Münzen ein");
    EXPECT_EQ(dialogs.last().title, "KAssenaufnahme");
    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    EXPECT_TRUE(page.countField(1)->hasFocus());
}

TEST_F(Page, DifferenceAgainstTheBookBalanceAndItsColours) {
    page.setExpected(Money::fromCents(-2000));
    page.showDifference();
    EXPECT_EQ(page.difference()->text(), "20,00");
    EXPECT_FALSE(page.difference()->isNegative());
    EXPECT_TRUE(page.expected()->isNegative());
    EXPECT_EQ(page.expected()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(page.expected()->accessibleName(), "Kassenbestand (soll):");
    EXPECT_EQ(page.expected()->accessibleDescription(), "-20,00");
}

TEST_F(Page, ACountThatDoesNotFitOrNeedsRoundingIsRefusedAsTyped) {
    page.countField(2)->setFocus();
    QTest::keyClicks(page.countField(2), "3");
    // Typed on to fifteen digits: the digit too many is refused, the field keeps its count.
    QTest::keyClicks(page.countField(1), "12345678");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.last().text, "Die Anzahl 12345678 ist zu groß: Eine Zeile der "
                                   "Kassenaufnahme darf höchstens 999999999,99 ergeben.");
    EXPECT_EQ(page.countField(1)->text(), "1234567");
    EXPECT_TRUE(page.countField(1)->hasFocus());
    EXPECT_EQ(page.lineTotal(1)->text(), "617283500,00");
    EXPECT_EQ(page.counted()->text(), "617284100,00"); // every line in the total
    page.countField(1)->setText("999999999999999");
    EXPECT_EQ(page.countField(1)->text(), "1234567");

    // More than two decimals, or a product that is no whole cent: refused, never rounded.
    QTest::keyClicks(page.countField(3), "1,555");
    EXPECT_EQ(dialogs.last().text, "1,555 ist keine gültige Anzahl (höchstens zwei "
                                   "Nachkommastellen).");
    EXPECT_EQ(page.countField(3)->text(), "1,55");
    EXPECT_EQ(page.lineTotal(3)->text(), "155,00");
    page.countField(15)->setText("0,5");
    EXPECT_EQ(dialogs.last().text, "0,5 x 0,01 ergibt keinen Betrag in ganzen Cent.");
    EXPECT_EQ(page.countField(15)->text(), "");
    EXPECT_EQ(page.lineTotal(15)->text(), "");
}
