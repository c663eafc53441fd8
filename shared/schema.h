#pragma once

#include <QString>
#include <array>

// The tables and columns of the cash-book file by what they hold. Every column is text except
// ID; the file has always named its columns a1, n1, Einst16 …, and these are the only places
// that spell them out (besides SQL statements, which name columns as SQL does). The README's
// glossary lists them with their meaning.
namespace tb::schema {

// The auto-increment key of every table.
inline const QString kId = QStringLiteral("ID");

// Datum: one record per cash-book day.
struct Days {
    static inline const QString table = QStringLiteral("Datum");
    static inline const QString date = QStringLiteral("a1");   // "dd.mm.yyyy"
    static inline const QString key = QStringLiteral("a2");    // yyyymmdd, the list's order
    static inline const QString amount = QStringLiteral("a3"); // receipts less payments
};

// Buchungen: one record per booking line.
struct Lines {
    static inline const QString table = QStringLiteral("Buchungen");
    static inline const QString status = QStringLiteral("a1");   // "", "S" cancelled, "Storno"
    static inline const QString text = QStringLiteral("n1");     // the booking text
    static inline const QString remark = QStringLiteral("n2");   // "Bemerkung"
    static inline const QString done = QStringLiteral("a3");     // "V" done, "" or " " not
    static inline const QString receipt = QStringLiteral("a4");  // "Einnahme"
    static inline const QString payment = QStringLiteral("a5");  // "Ausgabe"
    static inline const QString rate = QStringLiteral("a6");     // the VAT rate as chosen
    static inline const QString vat = QStringLiteral("a7");      // VAT contained in the line
    static inline const QString number = QStringLiteral("a8");   // receipt number, "Beleg"
    static inline const QString date = QStringLiteral("a10");    // the day's "dd.mm.yyyy"
    static inline const QString dateKey = QStringLiteral("a11"); // yyyymmdd of the date
    static inline const QString open = QStringLiteral("a12");    // "O" not done, "" done
    static inline const QString vat2 = QStringLiteral("a13");    // VAT at rate 2
    static inline const QString vat1 = QStringLiteral("a14");    // VAT at rate 1
    static inline const QString balance = QStringLiteral("a15"); // cash after the line
};

// Buchungstext: the reusable booking texts.
struct Texts {
    static inline const QString table = QStringLiteral("Buchungstext");
    static inline const QString text = QStringLiteral("a1");
};

// Einstellungen: the one settings record.
struct Settings {
    static inline const QString table = QStringLiteral("Einstellungen");
    // Captions of the five configurable columns of the line grid, k = 1..5: Einst10..Einst14.
    static QString caption(int k) { return QStringLiteral("Einst%1").arg(9 + k); }
    static inline const QString floatAmount = QStringLiteral("Einst15"); // the change till
    static inline const QString rate1 = QStringLiteral("Einst16");
    static inline const QString rate2 = QStringLiteral("Einst17");
    static inline const QString currency = QStringLiteral("Einst18");
    static inline const QString nextReceipt = QStringLiteral("Einst19");
    static inline const QString noTax = QStringLiteral("Einst20");   // "X": no tax in printouts
    static inline const QString password = QStringLiteral("Memo10"); // scrambled
};

// The same names as plain UTF-8, for code that works on the engine's rows without QString (the
// change log and its check). The lists are in table order, without ID.
namespace utf8 {
inline constexpr const char* kId = "ID";
inline constexpr const char* kDayDate = "a1";
inline constexpr const char* kDayKey = "a2";
// A line's columns without ID and the running balance a15 (a9 is unused but kept in the log).
inline constexpr std::array<const char*, 15> kLineColumns = {
    "a1", "n1", "n2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10", "a11", "a12", "a13", "a14"};
inline constexpr std::array<const char*, 2> kDayColumns = {kDayDate, kDayKey};
// The settings columns a change of the book's rules touches.
inline constexpr std::array<const char*, 14> kSettingsColumns = {
    "Einst10", "Einst11", "Einst12", "Einst13", "Einst14", "Einst15", "Einst16",
    "Einst17", "Einst18", "Einst19", "Einst20", "Memo8",   "Memo9",   "Memo10"};
inline constexpr const char* kNextReceipt = "Einst19";
inline constexpr const char* kPassword = "Memo10";
} // namespace utf8

} // namespace tb::schema
