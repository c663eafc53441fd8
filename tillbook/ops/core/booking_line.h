#pragma once

#include "data_view.h"
#include "schema.h"

#include <QString>
#include <QStringList>

namespace tb {

// One line of the table Buchungen by what its columns hold. Reading a line and writing one go
// through here; the columns are named in schema.h.
struct BookingLine {
    qint64 id = 0;
    QString status;  // "" ordinary, "S" cancelled, "Storno" a counter-entry
    QString text;    // the booking text
    QString remark;  // "Bemerkung"
    QString done;    // "V" done, "" or " " not yet
    QString receipt; // "Einnahme": an amount, a marker letter, or ""
    QString payment; // "Ausgabe"
    QString rate;    // the VAT rate as chosen
    QString vat;     // the VAT contained in the line
    QString number;  // the receipt number ("Beleg")
    QString date;    // the day's date "dd.mm.yyyy"
    QString dateKey; // yyyymmdd
    QString open;    // "O" not done, "" done
    QString vat2;    // VAT at rate 2
    QString vat1;    // VAT at rate 1
    QString balance; // the cash after the line

    // The current record of a view over Buchungen ("" everywhere without one), or a row of it.
    static BookingLine read(const DataView& view);
    static BookingLine readRow(const DataView& view, int row);
    // One line by its ID; false when there is none.
    static bool load(Database& db, qint64 id, BookingLine& line);
};

// The columns a write of a booking line sets and their values; the others stay as stored (a
// new line leaves them empty in the engine's sense, NULL). The one place a line is inserted
// or changed by its ID.
class LineWrite {
  public:
    // column is one of schema::Lines; setting one twice keeps the last value in its place.
    LineWrite& set(const QString& column, const QString& value);
    bool has(const QString& column) const { return columns_.contains(column); }

    // Inserts a new line; *id is its ID. False when the engine refused it.
    bool insert(Database& db, qint64* id = nullptr) const;
    // Changes the line with this ID; false when it is gone or the engine refused.
    bool update(Database& db, qint64 id) const;

  private:
    QStringList columns_;
    QStringList values_;
};

} // namespace tb
