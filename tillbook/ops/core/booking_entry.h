#pragma once

#include "booking_line.h"
#include "data_view.h"
#include "dialogs.h"
#include "money.h"
#include "settings_record.h"

#include <array>

namespace tb {

// The entry fields by their numbers.
enum EntryField {
    kStatusField = 0,
    kTextField = 1,
    kRemarkField = 2,
    kDoneField = 3,
    kReceiptField = 4,
    kPaymentField = 5,
    kRateField = 6,
    kVatField = 7,
    kNumberField = 8,
};
inline constexpr int kEntryFields = 9;

// The contents of the entry panel: the line being entered or shown, of which the panel holds
// the status, the texts, the done mark, the amounts, the rate, the VAT and the receipt number
// (status, done mark, rate and VAT are holders the operator does not see), and the rate
// choices and VAT boxes.
struct EntryValues {
    BookingLine line;
    QString rate;    // the VAT-rate choice (editable)
    QString rate2;   // second rate choice, two-rate lines only
    QString vatBox;  // VAT at the chosen rate, editable
    QString vatBox2; // VAT at the second rate
    bool twoRates = false;

    // The line's value an entry field holds.
    QString& field(EntryField f);
    const QString& field(EntryField f) const;
    // Something was typed: a booking text, a remark or an amount.
    bool typed() const;
};

// What the entry panel is at: a new line, a saved line shown, a line offered for cancellation.
enum class EntryState { Neuanlage, Bearbeiten, Stornieren };

// What the entry panel offers; it decides which fields are open and which buttons show.
enum class EntryMode {
    NewLine,  // a new line: cleared, state "Neuanlage", fields open, "speichern", one rate
    AsState,  // what the state asks for: a saved line is locked and offers "Stornieren"; a
              // new line is open, "speichern" only with the service code
    Unlocked, // the service code opened the shown line: fields open, "speichern"
};

// The service code that unlocks editing of saved lines and line deletion.
inline const QString kServiceCode = QStringLiteral("4817");

// The line a save writes into, fixed when "speichern" is pressed: the new line of the entry
// (id 0) or a saved line by its ID. Whatever becomes current before the save runs, the save
// goes here.
struct LineTarget {
    qint64 id = 0;
    bool isNew() const { return id == 0; }
};

// The rules of booking entry: receipt numbers, the contained VAT, the checks before saving,
// writing a line and showing one.
class BookingEntry {
  public:
    BookingEntry(Dialogs& dialogs, SettingsRecord& settings)
        : dialogs_(dialogs), settings_(settings) {}

    static bool isMixedText(const QString& bookingText);
    QString mixedRate() const { return settings_.rate1() + QLatin1Char('/') + settings_.rate2(); }

    // A field got the focus: an empty next receipt number becomes "0"; for the receipt-number
    // field see receiptFieldEntered.
    void fieldEntered(int field, EntryValues& v);
    // The receipt-number field got the focus: it takes the next number when empty, and the
    // stored next number goes up by one (each time, as the field is entered).
    void receiptFieldEntered(EntryValues& v);
    // Any field lost the focus: an empty receipt number gets the stored next number.
    void fieldLeft(EntryValues& v);

    // Leaving the receipt or payment field: checks the rate, computes the VAT, reformats the
    // amounts. False when the panel must close (a mixed-rate line).
    bool amountFieldLeft(EntryValues& v);
    // A rate was chosen: the VAT is computed at once.
    void rateChosen(EntryValues& v);
    // The VAT contained in the line at the chosen rate; nothing when the rate is no number, an
    // amount has more than two decimals, or the formula has no result (a rate of -100).
    static std::optional<Money> vatOf(const QString& rate, const QString& receipt,
                                      const QString& payment);

    // The checks of "speichern", with their messages. On success the next receipt number has
    // been stored (line number + 1).
    bool checkAndAdvance(const EntryValues& v);

    // Writes the entry into the target line. dayDate is the date of the day the entry belongs
    // to (a new line, or a saved line without date, gets it). Shows the failure message and
    // returns false when nothing could be written; *writtenId is the line's ID.
    bool writeLine(Database& db, const LineTarget& target, const EntryValues& v,
                   const QString& dayDate, qint64* writtenId = nullptr);

    // Copies a saved line into the entry panel.
    void showLine(const DataView& lines, EntryValues& v) const;

    // F9: the done mark of the current line is toggled and saved at once ("V" and no open
    // mark, or a single blank and "O"). False when there is no saved current line.
    static bool toggleDone(DataView& lines);

    // An amount reformatted "0.00"; a text that is no amount, or has more than two decimals,
    // stays as typed (the check at "speichern" tells the operator).
    static QString reformatAmount(const QString& amount);
    // The refusal of an amount with more than two decimals, naming what was typed.
    static QString tooManyDecimalsMessage(const QString& typed);

    // What an amount key puts into a field that holds `current`: a typed "." is the decimal
    // comma, and a comma into an empty field comes with its leading "0".
    static QString normalizeAmountInput(const QString& current, const QString& typed);
    static bool isAmountKey(const QString& typed);

  private:
    Dialogs& dialogs_;
    SettingsRecord& settings_;
};

} // namespace tb
