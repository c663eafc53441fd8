#pragma once

#include "data_view.h"

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
    QString get(const QString& column) const;
    void set(const QString& column, const QString& value);
    // Writes the record; false when the file refused it.
    bool save(QString* error = nullptr);

    QString rate1() const { return get(QStringLiteral("Einst16")); }
    QString rate2() const { return get(QStringLiteral("Einst17")); }
    QString nextReceipt() const { return get(QStringLiteral("Einst19")); }
    void setNextReceipt(const QString& n) { set(QStringLiteral("Einst19"), n); }
    QString floatText() const { return get(QStringLiteral("Einst15")); }
    QString caption(int k) const { return get(QStringLiteral("Einst%1").arg(9 + k)); } // k = 1..5
    QString memo10() const { return get(QStringLiteral("Memo10")); }
    Database* database() const { return view_.database(); }

  private:
    DataView view_;
    bool loaded_ = false;
};

} // namespace tb
