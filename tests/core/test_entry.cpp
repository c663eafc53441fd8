#include "booking_entry.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Entry : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings{&book.db()};
    BookingEntry entry{dialogs, settings};
    DataView lines{&book.db(),
                   "Buchungen",
                   "Select * from Buchungen WHERE a10 = (?)Order by ID;",
                   {"01.03.2024"}};
    EntryValues values(const QString& text, const QString& in, const QString& out,
                       const QString& rate) {
        EntryValues v;
        v.line.text = text;
        v.line.receipt = in;
        v.line.payment = out;
        v.line.number = "7";
        v.rate = rate;
        return v;
    }
    QString saveNew(EntryValues v) {
        entry.amountFieldLeft(v);
        qint64 id = 0;
        EXPECT_TRUE(entry.writeLine(book.db(), LineTarget{}, v, "01.03.2024", &id));
        lines.refresh();
        lines.findId(id);
        return QString::number(id);
    }
    QString col(const QString& id, const char* c) {
        return book.db().scalar(QString("SELECT %1 FROM Buchungen WHERE ID = ?;").arg(c), {id});
    }
};
} // namespace

TEST_F(Entry, VatPerRateIntoTheRightColumns) {
    const QString a = saveNew(values("Bareinnahme", "119", "", "19"));
    EXPECT_EQ(col(a, "a7"), "19,00");
    EXPECT_EQ(col(a, "a14"), "19,00");
    EXPECT_EQ(col(a, "a13"), "");
    EXPECT_EQ(col(a, "a4"), "119,00");
    EXPECT_EQ(col(a, "a11"), "20240301");
    EXPECT_EQ(col(a, "a12"), "O");
    EXPECT_EQ(col(a, "a15"), "0");

    const QString b = saveNew(values("Porto", "", "10,70", "7"));
    EXPECT_EQ(col(b, "a7"), "-0,70");
    EXPECT_EQ(col(b, "a13"), "-0,70");
    EXPECT_EQ(col(b, "a14"), "");

    const QString c = saveNew(values("Mixed", "50", "20", "19"));
    EXPECT_EQ(col(c, "a7"), "4,79");

    EntryValues zero = values("Spende", "10", "", "0");
    zero.vatBox = "1,00";
    const QString d = saveNew(zero);
    EXPECT_EQ(col(d, "a13"), "");
    EXPECT_EQ(col(d, "a14"), "");
    EXPECT_EQ(col(d, "a6"), "0");
}

TEST_F(Entry, RateChecksOnLeavingAnAmount) {
    EntryValues v = values("Bareinnahme", "119", "", "");
    EXPECT_TRUE(entry.amountFieldLeft(v));
    EXPECT_EQ(dialogs.last().text, "Sie haben keine MwSt. ausgewählt.");
    EXPECT_EQ(dialogs.last().icon, Icon::None);

    v.rate = "19/7";
    EXPECT_FALSE(entry.amountFieldLeft(v)); // the panel closes
    EXPECT_EQ(dialogs.last().title, "Mischsteuer");
    EXPECT_EQ(dialogs.last().text, "Rechnungen mit Mischsteuersätzen können nicht editiert "
                                   "werden. \nUm dennoch editieren zu können, wählen Sie nur "
                                   "einen Steuersatz.");

    v.rate = "0";
    v.line.vat = "3,00";
    EXPECT_TRUE(entry.amountFieldLeft(v));
    EXPECT_EQ(v.line.vat, "3,00"); // rate 0 leaves the VAT alone on leaving
    entry.rateChosen(v);
    EXPECT_EQ(v.line.vat, "0,00"); // but choosing it computes 0,00
    v.rate = "abc";
    v.line.vat = "1,00";
    entry.rateChosen(v);
    EXPECT_EQ(v.line.vat, "1,00");
}

TEST_F(Entry, SaveRefusalsKeepEverything) {
    EntryValues v = values("", "", "", "19");
    v.line.remark = "nur Bemerkung";
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text, "Kein Geschäftsvorfall eingegeben");
    EXPECT_EQ(dialogs.last().title, "Fehler");
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    v.line.text = "Porto";
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text, "Sie haben keinen Betrag eingegeben");

    for (const char* bad : {"1,2,3", "-"}) {
        v.line.receipt = bad;
        EXPECT_FALSE(entry.checkAndAdvance(v)) << bad;
    }
    v.line.receipt = "K";
    v.line.number = "12,5";
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text, "Die Beleg-Nr. muss eine ganze Zahl sein.");
    EXPECT_EQ(book.setting("Einst19"), "1");
    v.line.number = "41";
    EXPECT_TRUE(entry.checkAndAdvance(v));
    EXPECT_EQ(book.setting("Einst19"), "42");
}

TEST_F(Entry, ReceiptNumberRisesEachTimeTheFieldIsEntered) {
    book.setSetting("Einst19", "10");
    settings.reload();
    EntryValues v;
    entry.receiptFieldEntered(v);
    EXPECT_EQ(v.line.number, "10");
    entry.receiptFieldEntered(v);
    EXPECT_EQ(v.line.number, "10");
    EXPECT_EQ(book.setting("Einst19"), "12");
    v.line.text = "Porto";
    v.line.receipt = "1";
    EXPECT_TRUE(entry.checkAndAdvance(v));
    EXPECT_EQ(book.setting("Einst19"), "11");
}

TEST_F(Entry, TwoRateLineIsShownWithBothBoxes) {
    lines.refresh();
    lines.addNew();
    for (auto [c, val] :
         std::initializer_list<std::pair<const char*, const char*>>{{"n1", "Hotelrechnung 12"},
                                                                    {"a4", "120,00"},
                                                                    {"a6", "19/7"},
                                                                    {"a7", "9,00"},
                                                                    {"a13", "2,00"},
                                                                    {"a14", "7,00"},
                                                                    {"a10", "01.03.2024"}})
        lines.setValue(c, val);
    ASSERT_TRUE(lines.update());
    EntryValues v;
    entry.showLine(lines, v);
    EXPECT_TRUE(v.twoRates);
    EXPECT_EQ(v.rate, "19");
    EXPECT_EQ(v.rate2, "7");
    EXPECT_EQ(v.vatBox, "7,00");
    EXPECT_EQ(v.vatBox2, "2,00");
}

TEST_F(Entry, AmountKeys) {
    EXPECT_EQ(BookingEntry::normalizeAmountInput("", ","), "0,");
    EXPECT_EQ(BookingEntry::normalizeAmountInput("", "."), "0,");
    EXPECT_EQ(BookingEntry::normalizeAmountInput("12", "."), ",");
    EXPECT_EQ(BookingEntry::normalizeAmountInput("12", ","), ",");
    EXPECT_EQ(BookingEntry::normalizeAmountInput("12", "5"), "5");
    EXPECT_TRUE(BookingEntry::isAmountKey(QString::fromUtf8("Ü")));
    EXPECT_FALSE(BookingEntry::isAmountKey("a"));
    EXPECT_FALSE(BookingEntry::isAmountKey("k"));
}

TEST_F(Entry, FailedWriteSaysSoAndStoresNothing) {
    EntryValues v = values("Porto", "1,00", "", "19");
    book.db().exec("CREATE TRIGGER no_insert BEFORE INSERT ON Buchungen BEGIN "
                   "SELECT RAISE(ABORT, 'disk says no'); END;");
    EXPECT_FALSE(entry.writeLine(book.db(), LineTarget{}, v, "01.03.2024"));
    EXPECT_EQ(dialogs.last().text, "es wurde noch keine neue Zeile angelegt.");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen;"), "0");
}

TEST_F(Entry, RatesWithoutAResultComputeNothingAndRaiseNothing) {
    // -100 would divide by zero; an editable rate choice lets anyone type it.
    EXPECT_FALSE(BookingEntry::vatOf("-100", "100", "").has_value());
    EXPECT_FALSE(BookingEntry::vatOf("abc", "100", "").has_value());
    EXPECT_EQ(BookingEntry::vatOf("-200", "100", "")->toText(), "200,00");
    EntryValues v = values("Bareinnahme", "100", "", "-100");
    v.line.vat = "1,00";
    EXPECT_TRUE(entry.amountFieldLeft(v));
    EXPECT_EQ(v.line.vat, "1,00");
    entry.rateChosen(v);
    EXPECT_EQ(v.line.vat, "1,00");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Entry, AmountsAboveTheBoundAreRefusedAtSaving) {
    EntryValues v = values("Bareinnahme", "1000000000,00", "", "19");
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text,
              "Der Betrag ist zu groß. Ein Betrag darf höchstens 999999999,99 sein.");
    EXPECT_EQ(book.setting("Einst19"), "1");
    v.line.receipt = "";
    v.line.payment = "-1.000.000.000";
    EXPECT_FALSE(entry.checkAndAdvance(v));
    v.line.payment = "999.999.999,99";
    EXPECT_TRUE(entry.checkAndAdvance(v));
    // "1.500" is fifteen hundred, never one and a half.
    v = values("Bareinnahme", "1.500", "", "19");
    entry.amountFieldLeft(v);
    EXPECT_EQ(v.line.receipt, "1500,00");
    EXPECT_EQ(v.line.vat, "239,50");
}

TEST_F(Entry, MoreThanTwoDecimalsAndNoNumberInTheVatBoxAreRefusedNeverRounded) {
    // "1.500" typed with the keypad's point arrives as "1,500": it stays as typed, no VAT is
    // computed from it, and "speichern" names it.
    EntryValues v = values("Bareinnahme", "1,500", "", "19");
    v.line.vat = v.vatBox = "";
    entry.amountFieldLeft(v);
    EXPECT_EQ(v.line.receipt, "1,500");
    EXPECT_EQ(v.vatBox, "");
    EXPECT_EQ(BookingEntry::reformatAmount("1,500"), "1,500");
    EXPECT_EQ(BookingEntry::reformatAmount("1,5"), "1,50");
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text, "1,500 ist kein gültiger Betrag (höchstens zwei "
                                   "Nachkommastellen).");
    EXPECT_EQ(dialogs.last().title, "Fehler");
    v.line.receipt = "";
    v.line.payment = "0,125";
    EXPECT_FALSE(entry.checkAndAdvance(v));
    EXPECT_EQ(dialogs.last().text, "0,125 ist kein gültiger Betrag (höchstens zwei "
                                   "Nachkommastellen).");
    // The VAT box is checked like the amounts: it is what goes into the tax columns.
    v.line.payment = "10,70";
    for (const char* bad : {"abc", "<b>x</b>", "19,001"}) {
        v.vatBox = bad;
        EXPECT_FALSE(entry.checkAndAdvance(v)) << bad;
        EXPECT_TRUE(dialogs.last().text.contains(bad)) << dialogs.last().text.toStdString();
    }
    EXPECT_EQ(book.setting("Einst19"), "1"); // nothing was taken meanwhile
    v.vatBox = "-0,70";
    EXPECT_TRUE(entry.checkAndAdvance(v));
}

TEST_F(Entry, ReceiptNumbersStayBelowABillion) {
    EntryValues v = values("Porto", "1,00", "", "19");
    for (const char* big : {"1000000000", "9223372036854775807", "99999999999999999999"}) {
        v.line.number = big;
        EXPECT_FALSE(entry.checkAndAdvance(v)) << big;
        EXPECT_EQ(dialogs.last().text, "Die Beleg-Nr. darf höchstens 999999999 sein.");
    }
    EXPECT_EQ(book.setting("Einst19"), "1");
    v.line.number = "999999999";
    EXPECT_TRUE(entry.checkAndAdvance(v));
    // The last number is handed out once more as it stands, and never beyond.
    settings.setNextReceipt("999999999");
    EntryValues fresh;
    entry.receiptFieldEntered(fresh);
    EXPECT_EQ(fresh.line.number, "999999999");
    EXPECT_EQ(settings.nextReceipt(), "999999999");
}

TEST_F(Entry, ACounterEntryOfAOneRateHotelLineIsNoTwoRateLine) {
    // Shown step by step: the box emptied for the chosen rate no longer counts.
    lines.refresh();
    lines.addNew();
    for (auto [c, val] : std::initializer_list<std::pair<const char*, const char*>>{
             {"a1", "Storno"},
             {"n1", "STORNO  Hotelrechnung 12"},
             {"a4", "-107,00"},
             {"a6", "7"},
             {"a7", "-7,00"},
             {"a13", "-7,00"},
             {"a14", "0,00"},
             {"a10", "01.03.2024"}})
        lines.setValue(c, val);
    ASSERT_TRUE(lines.update());
    EntryValues v;
    entry.showLine(lines, v);
    EXPECT_FALSE(v.twoRates);
    EXPECT_EQ(v.rate, "7");
    EXPECT_EQ(v.vatBox, "-7,00");
    // The stored line keeps both boxes.
    EXPECT_EQ(col(QString::number(lines.id()), "a14"), "0,00");
}

TEST_F(Entry, DoneMarkTogglesOnTheSavedLineOnly) {
    lines.refresh();
    EXPECT_FALSE(BookingEntry::toggleDone(lines)); // no line
    const QString id = saveNew(values("Porto", "1", "", "19"));
    ASSERT_TRUE(BookingEntry::toggleDone(lines));
    EXPECT_EQ(col(id, "a3"), "V");
    EXPECT_EQ(col(id, "a12"), "");
    ASSERT_TRUE(BookingEntry::toggleDone(lines));
    EXPECT_EQ(col(id, "a3"), " ");
    EXPECT_EQ(col(id, "a12"), "O");
    lines.addNew();
    EXPECT_FALSE(BookingEntry::toggleDone(lines));
}
