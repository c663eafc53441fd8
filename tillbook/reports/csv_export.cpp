#include "csv_export.h"

#include "cp1252.h"
#include "data_paths.h"
#include "file_copy.h"
#include "money.h"
#include "row_balances.h"

#include <QDir>
#include <QFile>

namespace tb {

QString CsvExport::baseName(const ListingState& s) {
    switch (s.kind) {
    case ListingKind::Tag:
        return QStringLiteral("Kassenbuch vom ") + s.dayDate;
    case ListingKind::Auswahl:
        return QStringLiteral("Kassenbuch ") + s.periodStart + QStringLiteral(" bis ") +
               s.periodEnd;
    default:
        return {};
    }
}

QString CsvExport::quoted(const QString& field) {
    const bool needs = field.contains(QLatin1Char(';')) || field.contains(QLatin1Char('"')) ||
                       field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!needs)
        return field;
    QString q = field;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QByteArray CsvExport::content(const DataView& rows, const QString& rate1, const QString& rate2,
                              Money carriedIn) {
    const QString crlf = QStringLiteral("\r\n");
    QString text = QStringList{QStringLiteral("Datum"),
                               QStringLiteral("Beleg"),
                               QStringLiteral("Buchungstext"),
                               QStringLiteral("Bemerkung"),
                               QStringLiteral("Steuer ") + rate1 + QLatin1Char('%'),
                               QStringLiteral("Steuer ") + rate2 + QLatin1Char('%'),
                               QStringLiteral("Einnahmen"),
                               QStringLiteral("Ausgaben"),
                               QStringLiteral("Kassenbestand")}
                       .join(QLatin1Char(';')) +
                   crlf;
    static const QStringList columns{"a10", "a8", "n1", "n2", "a14", "a13", "a4", "a5"};
    const std::vector<Money> balances = balancesAfter(rows, carriedIn);
    for (int row = 0; row < rows.recordCount(); ++row) {
        QStringList fields;
        for (const QString& c : columns)
            fields << quoted(rows.valueAt(row, c));
        fields << balances[static_cast<size_t>(row)].toText();
        text += fields.join(QLatin1Char(';')) + crlf;
    }
    return toCp1252(text);
}

CsvExport::Outcome CsvExport::run(const DataView& rows, const ListingState& s, const QString& rate1,
                                  const QString& rate2, const QString& dataPath,
                                  const QString& workFolder, Dialogs& dialogs) {
    return save(content(rows, rate1, rate2, s.carriedIn), fileName(s), dataPath, workFolder,
                dialogs);
}

CsvExport::Outcome CsvExport::save(const QByteArray& bytes, const QString& name,
                                   const QString& dataPath, const QString& workFolder,
                                   Dialogs& dialogs) {
    QDir().mkpath(workFolder);
    const QString work = QDir(workFolder).filePath(name);
    {
        QFile f(work);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    const QString chosen =
        dialogs.saveFile(QStringLiteral("Speichern unter"), paths::folderOf(dataPath) + name,
                         QStringLiteral("CSV-Datei (*.csv)"));
    if (chosen.isEmpty())
        return Outcome::Cancelled;
    const FileResult r = FileCopy(work, chosen);
    if (r.ok())
        return Outcome::Saved;
    dialogs.message(QStringLiteral("Die Datei konnte nicht gespeichert werden !") +
                    QLatin1Char('\n') + QStringLiteral("bitte Ursache beheben") +
                    QStringLiteral(" - ") + QStringLiteral("Fehler ") + QString::number(r.number) +
                    QLatin1Char(' ') + r.detail);
    return Outcome::Failed;
}

} // namespace tb
