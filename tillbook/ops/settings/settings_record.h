#pragma once

#include "data_view.h"
#include "schema.h"

namespace tb {

// Receipt numbers stay below a billion: nine digits, as every form and printout has room for,
// and far from where a whole number would overflow.
inline constexpr qint64 kMaxReceiptNumber = 999'999'999;

// The one record of the table Einstellungen: VAT rates, currency, next receipt number, the
// tax switch, the column captions, the float and the scrambled password.
class SettingsRecord {
  public:
    explicit SettingsRecord(Database* db);

    // Re-reads the record from the file. When the file cannot be read (another program holds
    // it), the values read before stay and false is returned; a record is added only to a
    // table that was read and found empty, so there is never a second one.
    bool reload();
    // Whether the record was read at least once.
    bool loaded() const { return loaded_; }
    // Writes the record; false when the file refused it.
    Result save();

    // Every column by what it holds (the setters change the record in memory; save() writes).
    QString caption(int k) const { return get(Settings::caption(k)); } // k = 1..5
    void setCaption(int k, const QString& c) { set(Settings::caption(k), c); }
    QString floatText() const { return get(Settings::floatAmount); }
    void setFloatText(const QString& f) { set(Settings::floatAmount, f); }
    QString rate1() const { return get(Settings::rate1); }
    void setRate1(const QString& r) { set(Settings::rate1, r); }
    QString rate2() const { return get(Settings::rate2); }
    void setRate2(const QString& r) { set(Settings::rate2, r); }
    QString currency() const { return get(Settings::currency); }
    void setCurrency(const QString& c) { set(Settings::currency, c); }
    QString nextReceipt() const { return get(Settings::nextReceipt); }
    void setNextReceipt(const QString& n) { set(Settings::nextReceipt, n); }
    // The tax switch as it is stored: "X" leaves the tax amounts out of the printout.
    QString taxSwitch() const { return get(Settings::noTax); }
    void setTaxSwitch(const QString& x) { set(Settings::noTax, x); }
    bool noTax() const { return taxSwitch() == QLatin1String("X"); }
    // The password in its scrambled form; empty when none is set.
    QString scrambledPassword() const { return get(Settings::password); }
    void setScrambledPassword(const QString& p) { set(Settings::password, p); }
    Database* database() const { return view_.database(); }

  private:
    using Settings = schema::Settings;
    QString get(const QString& column) const;
    void set(const QString& column, const QString& value);
    DataView view_;
    bool loaded_ = false;
};

} // namespace tb
