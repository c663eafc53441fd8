#pragma once

#include "clock.h"
#include "database.h"
#include "dialogs.h"
#include "progress.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tb {

// The data export for the tax auditor: for a period, one folder with a CSV file per table of
// the cash book (the lines, the days, the booking texts, the settings, the change log and the
// stored till counts when the book has them), an index.xml that describes every file column by
// column after the tax administration's description standard (its DTD lies beside it), and a
// short Hinweise.txt for the people who receive it. The CSV files are Windows-1252, ";"
// between fields, texts in double quotes, decimal comma, CR LF, the column names first.
//
// The folder is written as "<name>.tmp-export" beside its final place and renamed only when
// every file in it is whole; a failure or a stop removes it, so the auditor never gets half an
// export.
class AuditorExport {
  public:
    enum class Outcome { Written, Cancelled, Failed };

    // How a column is written and described.
    enum class Kind {
        Number,     // a whole number (Numeric)
        Amount,     // money with two decimals (Numeric, Accuracy 2); empty when no number
        NotAmount,  // the stored text of an amount column when it is no number (a marker)
        Date,       // "dd.mm.yyyy" (Date); empty when the stored text is no date
        Text,       // as stored (AlphaNumeric)
        MomentDate, // the date of seconds since 1970, local time (Date)
        MomentTime, // the time of day of the same, "hh:mm:ss" (AlphaNumeric)
    };
    struct Column {
        QString name;
        QString description;
        Kind kind = Kind::Text;
        int source = 0;                                 // the field of the row it is read from
        std::vector<std::pair<QString, QString>> map{}; // stored value -> meaning
    };
    struct Table {
        QString file; // "Buchungen.csv"
        QString name;
        QString description;
        // The fields read from the file for a row: a SELECT list for the lines (read date by
        // date in line order), a whole statement for every other table.
        QString select;
        bool periodLines = false;
        int periodField = -1; // a date field: rows outside the period are left out
        int keys = 1;         // the first columns form the key
        std::vector<Column> columns;
        QString needs; // the table the file must have for this one to be written
    };
    // The tables in the order they are written.
    static std::vector<Table> tables();

    AuditorExport(Database& db, Dialogs& dialogs, const Clock& clock, Progress* progress = nullptr);

    // The whole export: asks for the folder (starting in folder), writes, says what was
    // written or why not.
    Outcome run(const QString& periodStart, const QString& periodEnd, const QString& folder);
    // Writes the export of the period into a new folder inside parent; no dialog but the
    // message of a failure.
    Outcome writeInto(const QString& parent, const QString& periodStart, const QString& periodEnd);

    // "Betriebspruefung_<yyyymmdd>_<yyyymmdd>"
    static QString folderName(const QString& periodStart, const QString& periodEnd);
    static QString dtdFileName() { return QStringLiteral("gdpdu-01-08-2002.dtd"); }

    // The folder the last run wrote and the files in it.
    const QString& written() const { return written_; }
    const QStringList& files() const { return files_; }

  private:
    struct Writer;
    Outcome fail(const Result& why);

    Database& db_;
    Dialogs& dialogs_;
    const Clock& clock_;
    NoProgress silent_;
    Progress& progress_;
    QString written_;
    QStringList files_;
};

} // namespace tb
