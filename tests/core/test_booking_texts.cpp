#include "booking_texts.h"
#include "frm_baustelle.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Texts : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    void add(const QString& t) {
        Statement st = book.db().prepare("INSERT INTO Buchungstext (a1) VALUES (?);");
        st.bind(1, t);
        st.run();
    }
    QString count() { return book.db().scalar("SELECT count(*) FROM Buchungstext;"); }
};
} // namespace

TEST_F(Texts, OrderAndPrefixSearchAreCaseInsensitiveWithUmlauts) {
    for (const char* t : {"Barentnahme", "äpfel", "Zucker", "Äpfel grün", "apfelsaft"})
        add(QString::fromUtf8(t));
    BookingTexts texts(&book.db(), dialogs);
    texts.refresh();
    QStringList order;
    for (int i = 0; i < texts.view().recordCount(); ++i)
        order << texts.view().valueAt(i, "a1");
    // Umlauts sort with their base letter, case does not count.
    EXPECT_EQ(order.indexOf(QString::fromUtf8("äpfel")), 0);
    EXPECT_LT(order.indexOf(QString::fromUtf8("Äpfel grün")), order.indexOf("apfelsaft"));
    EXPECT_LT(order.indexOf("Bareinnahme"), order.indexOf("Barentnahme"));
    EXPECT_EQ(order.last(), "Zucker");

    EXPECT_TRUE(texts.search("bar"));
    EXPECT_EQ(texts.currentText(), "Bareinnahme");
    EXPECT_TRUE(texts.search("BARENT"));
    EXPECT_EQ(texts.currentText(), "Barentnahme");
    EXPECT_TRUE(texts.search(QString::fromUtf8("ÄPFEL G")));
    EXPECT_EQ(texts.currentText(), QString::fromUtf8("Äpfel grün"));
    EXPECT_FALSE(texts.search("xyz"));
    EXPECT_EQ(texts.currentText(), QString::fromUtf8("Äpfel grün")); // stays
}

TEST_F(Texts, SpecialCharactersInTheSearchAreLiteral) {
    add("100% Rabatt");
    add("O'Neill");
    add("a_b");
    add("a*b");
    BookingTexts texts(&book.db(), dialogs);
    texts.refresh();
    EXPECT_TRUE(texts.search("o'n"));
    EXPECT_EQ(texts.currentText(), "O'Neill");
    EXPECT_TRUE(texts.search("100%"));
    EXPECT_EQ(texts.currentText(), "100% Rabatt");
    EXPECT_TRUE(texts.search("a*"));
    EXPECT_EQ(texts.currentText(), "a*b");
    EXPECT_FALSE(texts.search("a?b"));
    EXPECT_FALSE(texts.search("%"));
}

TEST_F(Texts, TakeOverCreatesOnlyAfterYes) {
    add("Barentnahme");
    BookingTexts texts(&book.db(), dialogs);
    texts.refresh();
    texts.search("bar");
    texts.search("barent");
    EXPECT_EQ(texts.takeOver("barent"), "Barentnahme");
    EXPECT_TRUE(dialogs.messages.empty());

    texts.search("Porto");
    EXPECT_EQ(texts.takeOver("Porto"), std::nullopt);
    EXPECT_EQ(dialogs.last().text, "Soll Porto neu anlgelegt werden ?");
    EXPECT_EQ(dialogs.last().title, "Porto nicht gefunden");
    EXPECT_EQ(dialogs.last().icon, Icon::Question);
    EXPECT_EQ(count(), "2");
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(texts.takeOver("Porto"), "Porto");
    EXPECT_EQ(count(), "3");
    EXPECT_EQ(texts.takeOver(""), "Porto"); // empty search: current text, no question
}

TEST_F(Texts, LastTextCannotBeDeleted) {
    BookingTexts texts(&book.db(), dialogs);
    texts.refresh();
    EXPECT_FALSE(texts.remove());
    EXPECT_EQ(dialogs.last().text,
              "dieser Datensatz kann erst gelöscht werden, wenn ein neuer Kunde angelegt ist");
    add("Porto");
    texts.refresh();
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_TRUE(texts.remove());
    EXPECT_EQ(dialogs.last().title, "Datensatz löschen");
    EXPECT_EQ(count(), "1");
}

TEST_F(Texts, OpenLineTextsOncePerTextInOrder) {
    book.addLine("01.03.2024", "1,00", "", "Porto");
    book.addLine("01.03.2024", "1,00", "", "Bareinnahme");
    book.addLine("01.03.2024", "1,00", "", "Porto");
    book.db().exec("UPDATE Buchungen SET a12 = '' WHERE ID = 2;"); // done
    EXPECT_EQ(BookingTexts::openLineTexts(book.db()), QStringList({"Porto"}));
}

TEST_F(Texts, MaintenanceWindowStaysOpenWithEmptySearch) {
    frm_Baustelle picker(&book.db(), dialogs, frm_Baustelle::Role::Maintain);
    QStringList taken;
    QObject::connect(&picker, &frm_Baustelle::textTakenOver, [&](const QString& t) { taken << t; });
    picker.show();
    dialogs.answers = {Answer::Yes, Answer::Yes};
    QTest::keyClicks(picker.searchField(), "Porto");
    QTest::keyClick(picker.searchField(), Qt::Key_Return);
    QTest::keyClicks(picker.searchField(), "Miete");
    QTest::keyClick(picker.searchField(), Qt::Key_Return);
    EXPECT_EQ(taken, QStringList({"Porto", "Miete"}));
    EXPECT_TRUE(picker.isVisible());
    EXPECT_TRUE(picker.searchField()->text().isEmpty());
    EXPECT_EQ(count(), "3");
    QTest::keyClick(picker.searchField(), Qt::Key_Escape);
    EXPECT_FALSE(picker.isVisible());
}
