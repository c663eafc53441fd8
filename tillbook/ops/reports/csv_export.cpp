#include "csv_export.h"

#include "cp1252.h"
#include "data_paths.h"
#include "file_copy.h"
#include "money.h"
#include "row_balances.h"
#include "schema.h"

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
    case ListingKind::Kategorie: {
        const QString part = fileNamePart(s.selectedText);
        return part.isEmpty() ? QStringLiteral("Kassenbuch") : QStringLiteral("Kassenbuch ") + part;
    }
    default:
        return {};
    }
}

QString CsvExport::fileNamePart(const QString& text) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString out;
    for (const QChar c : text)
        out +=
            (forbidden.contains(c) || c.category() == QChar::Other_Control) ? QLatin1Char('_') : c;
    auto strip = [](QChar c) { return c.isSpace() || c == QLatin1Char('.'); };
    while (!out.isEmpty() && strip(out.front()))
        out.remove(0, 1);
    while (!out.isEmpty() && strip(out.back()))
        out.chop(1);
    // Room for "Kassenbuch " and ".csv" within what any file system takes.
    return out.left(180);
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

QString CsvExport::asText(const QString& field) {
    static const QString formulaStart = QStringLiteral("=+-@");
    if (!field.isEmpty() && formulaStart.contains(field.front()))
        return QLatin1Char('\'') + field;
    return field;
}

QByteArray CsvExport::content(const DataView& rows, const QString& rate1, const QString& rate2,
                              Money carriedIn) {
    return toCp1252(contentText(rows, rate1, rate2, carriedIn));
}

QString CsvExport::contentText(const DataView& rows, const QString& rate1, const QString& rate2,
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
    using schema::Lines;
    static const QStringList columns{Lines::date, Lines::number, Lines::text,    Lines::remark,
                                     Lines::vat1, Lines::vat2,   Lines::receipt, Lines::payment};
    constexpr int kTextColumns = 4; // date, receipt number, text, remark: the amounts stay numbers
    const std::vector<Money> balances = balancesAfter(rows, carriedIn);
    for (int row = 0; row < rows.recordCount(); ++row) {
        QStringList fields;
        for (int c = 0; c < columns.size(); ++c) {
            const QString value = rows.valueAt(row, columns[c]);
            fields << quoted(c < kTextColumns ? asText(value) : value);
        }
        fields << balances[static_cast<size_t>(row)].toText();
        text += fields.join(QLatin1Char(';')) + crlf;
    }
    return text;
}

CsvExport::Outcome CsvExport::run(const DataView& rows, const ListingState& s, const QString& rate1,
                                  const QString& rate2, const QString& dataPath,
                                  const QString& workFolder, Dialogs& dialogs) {
    return save(contentText(rows, rate1, rate2, s.carriedIn), fileName(s), dataPath, workFolder,
                dialogs);
}

CsvExport::Outcome CsvExport::save(const QString& text, const QString& name,
                                   const QString& dataPath, const QString& workFolder,
                                   Dialogs& dialogs) {
    auto failed = [&](const Result& r) {
        dialogs.message(QStringLiteral("Die Datei konnte nicht gespeichert werden !") +
                        QLatin1Char('\n') + QStringLiteral("bitte Ursache beheben") +
                        QStringLiteral(" - ") + QStringLiteral("Fehler ") +
                        QString::number(r.code) + QLatin1Char(' ') + germanText(r));
        return Outcome::Failed;
    };
    QDir().mkpath(workFolder);
    const QString work = QDir(workFolder).filePath(name);
    // A working file that could not be written whole is never offered for copying, nor an
    // older one of the same name.
    if (const Result w = writeWholeFile(work, toCp1252(text)); !w.ok())
        return failed(w);
    const QString chosen =
        dialogs.saveFile(QStringLiteral("Speichern unter"), paths::folderOf(dataPath) + name,
                         QStringLiteral("CSV-Datei (*.csv)"));
    if (chosen.isEmpty())
        return Outcome::Cancelled;
    // The export never takes the place of the cash book or one of its copies.
    if (paths::isCashBookFile(chosen, dataPath)) {
        dialogs.message(QStringLiteral("Die Datei\n%1\nist ein Kassenbuch oder dessen Sicherung; "
                                       "die CSV-Datei wird nicht an ihre Stelle geschrieben.\n\n"
                                       "Es wurde keine Datei geschrieben.")
                            .arg(chosen),
                        QStringLiteral("CSV-Export"), Icon::Exclamation);
        return Outcome::Cancelled;
    }
    if (const Result r = FileCopy(work, chosen); !r.ok())
        return failed(r);
    const QString lost = charactersOutsideCp1252(text);
    if (!lost.isEmpty())
        dialogs.message(QStringLiteral("Die Datei wurde gespeichert. Diese Zeichen gibt es im "
                                       "Zeichensatz der CSV-Datei (Windows-1252) nicht, sie "
                                       "stehen dort als \"?\": ") +
                            lost,
                        QStringLiteral("CSV-Export"), Icon::Information);
    return Outcome::Saved;
}

} // namespace tb
