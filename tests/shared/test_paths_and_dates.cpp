#include "cash_date.h"
#include "data_paths.h"
#include "jet_functions.h"
#include "settings_store.h"
#include "temp_book.h"

#include <gtest/gtest.h>

using namespace tb;

TEST(CashDate, TextKeyAndRangeNumberByPosition) {
    EXPECT_EQ(cashdate::toText(QDate(2024, 3, 1)), "01.03.2024");
    EXPECT_EQ(cashdate::key8("31.12.2023"), "20231231");
    EXPECT_LT(cashdate::rangeNumber("31.12.2023"), cashdate::rangeNumber("01.01.2024"));
    EXPECT_FALSE(cashdate::fromText("1.3.2024").isValid());
    EXPECT_FALSE(cashdate::fromText("31.02.2024").isValid());
    EXPECT_EQ(cashdate::weekdayShort(QDate(2024, 3, 1)), "Fr");
}

TEST(JetFunctions, MidLeftValOutOfRange) {
    EXPECT_EQ(jet::mid("01.03.2024", 7, 4), "2024");
    EXPECT_EQ(jet::mid("abc", 5, 2), "");
    EXPECT_EQ(jet::left("abc", 0), "");
    EXPECT_EQ(jet::val("12abc"), 12);
    EXPECT_EQ(jet::val("  7"), 7);
    EXPECT_EQ(jet::val("abc"), 0);
    EXPECT_LT(jet::compareGerman("äpfel", "Birne"), 0);
    EXPECT_LT(jet::compareGerman("apfel", "Äpfel"), 0);
}

TEST(DataPaths, DefaultsAndExtensionRedirect) {
    EXPECT_EQ(paths::tillbookDefaultDataPath("/home/anna/Dokumente"),
              "/home/anna/Dokumente/Tillbook - Daten/Tillbook.kas");
    // An empty documents folder falls back to the home folder; the doubled separator stays.
    const QString fallback = paths::tillbookDefaultDataPath({});
    EXPECT_TRUE(fallback.endsWith("//Tillbook - Daten/Tillbook.kas")) << fallback.toStdString();
    EXPECT_EQ(paths::restorixDefaultDataPath({}), "/Tillbook - Daten/Tillbook.kas");
    EXPECT_EQ(paths::effectiveDataPath("/d/Kasse.mdb", "/def.kas"), "/d/Kasse.kas");
    EXPECT_EQ(paths::effectiveDataPath("/d/Kasse.kas", "/def.kas"), "/d/Kasse.kas");
    // Garbage gives the default instead of a path that names nothing.
    EXPECT_EQ(paths::effectiveDataPath("", "/def.kas"), "/def.kas");
    EXPECT_EQ(paths::effectiveDataPath("/d/", "/def.kas"), "/def.kas");
    EXPECT_EQ(paths::effectiveDataPath("ab", "/def.kas"), "/def.kas");
}

TEST(SettingsStore, GetWithDefaultSaveRemove) {
    test::TempHome home;
    SettingsStore store;
    EXPECT_EQ(store.get("Startup", "Datenpfad", "def"), "def");
    store.save("Startup", "Datenpfad", "/x/y.kas");
    EXPECT_EQ(SettingsStore().get("Startup", "Datenpfad", "def"), "/x/y.kas");
    store.remove("Startup", "Datenpfad");
    EXPECT_EQ(store.get("Startup", "Datenpfad", "def"), "def");
}
