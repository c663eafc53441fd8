#include "auditor_export.h"

#include "audit_trail.h"
#include "cash_date.h"
#include "change_log.h"
#include "export_file.h"
#include "file_copy.h"
#include "gdpdu_dtd.h"
#include "money.h"
#include "period_lines.h"
#include "till_count.h"
#include "version_check.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>
#include <QXmlStreamWriter>
#include <cerrno>
#include <sys/stat.h>

namespace tb {

namespace {
const QString kTitle = QStringLiteral("Export für die Betriebsprüfung");
const QString kDateFormat = QStringLiteral("DD.MM.YYYY");
constexpr qint64 kStepRows = 512;

// The moment a line was first entered, from the change log, looked up by the line's ID. The
// log has no index on the line, so the first entry of each line is gathered once into a
// temporary table of the connection (never into the data file).
const QString kEntered = QStringLiteral("tb_erfasst");
const QString kEnteredSelect =
    QStringLiteral("(SELECT Zeit FROM temp.tb_erfasst WHERE Bezug = Buchungen.ID)");

// The kinds and reasons of the change log, as its window names them.
std::vector<std::pair<QString, QString>> logKinds() {
    std::vector<std::pair<QString, QString>> out;
    for (int k = 1; k <= changelog::kLastKind; ++k)
        out.emplace_back(QString::number(k), AuditTrail::kindText(k));
    return out;
}

std::vector<std::pair<QString, QString>> logReasons() {
    std::vector<std::pair<QString, QString>> out{{QStringLiteral("0"), QStringLiteral("keiner")}};
    for (int r = 1; r <= changelog::kLastReason; ++r)
        out.emplace_back(QString::number(r), AuditTrail::reasonText(r));
    return out;
}

bool hasTable(Database& db, const QString& name) {
    return !db.scalar(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                     "name = ?;"),
                      {name})
                .isEmpty();
}

QString dayText(const QString& stored) {
    const QDate d = cashdate::fromText(stored);
    return d.isValid() ? cashdate::toText(d) : QString();
}

bool isWholeNumber(const QString& t) {
    bool ok = false;
    t.toLongLong(&ok);
    return ok;
}

QString number(qint64 n) {
    return QLocale(QLocale::German).toString(n);
}
} // namespace

std::vector<AuditorExport::Table> AuditorExport::tables() {
    using K = Kind;
    std::vector<Table> t;

    Table lines;
    lines.file = QStringLiteral("Buchungen.csv");
    lines.name = QStringLiteral("Buchungen");
    lines.description = QStringLiteral(
        "Die Zeilen des Kassenbuchs im Zeitraum in Buchungsreihenfolge (Datum, dann Zeilen-Nr.), "
        "stornierte Zeilen und ihre Gegenbuchungen eingeschlossen");
    lines.select = QStringLiteral("ID, a10, a8, n1, n2, a4, a5, a6, a7, a14, a13, a1, a3, a12, "
                                  "a11, a9, a15, ") +
                   kEnteredSelect;
    lines.periodLines = true;
    lines.columns = {
        {QStringLiteral("Zeilen-Nr."),
         QStringLiteral("Fortlaufende Nummer der Zeile im Kassenbuch"), K::Number, 0},
        {QStringLiteral("Datum"), QStringLiteral("Buchungsdatum (Tag des Kassenbuchs)"), K::Date,
         1},
        {QStringLiteral("Beleg-Nr."), QStringLiteral("Belegnummer"), K::Text, 2},
        {QStringLiteral("Buchungstext"), QStringLiteral("Geschäftsvorfall"), K::Text, 3},
        {QStringLiteral("Bemerkung"), QStringLiteral("Bemerkung zur Zeile"), K::Text, 4},
        {QStringLiteral("Einnahme"), QStringLiteral("Bareinnahme in Euro"), K::Amount, 5},
        {QStringLiteral("Ausgabe"), QStringLiteral("Barausgabe in Euro"), K::Amount, 6},
        {QStringLiteral("Kennbuchstabe Einnahme"),
         QStringLiteral("Kennbuchstabe (K, U, S, Ü) statt eines Betrags in der Spalte Einnahme; "
                        "die Zeile zählt in keiner Summe"),
         K::NotAmount, 5},
        {QStringLiteral("Kennbuchstabe Ausgabe"),
         QStringLiteral("Kennbuchstabe (K, U, S, Ü) statt eines Betrags in der Spalte Ausgabe; die "
                        "Zeile zählt in keiner Summe"),
         K::NotAmount, 6},
        {QStringLiteral("MwSt.-Satz"),
         QStringLiteral("Steuersatz in Prozent, wie gewählt (zwei Sätze: Satz 1/Satz 2)"), K::Text,
         7},
        {QStringLiteral("MwSt.-Betrag"),
         QStringLiteral("Enthaltene Umsatzsteuer in Euro (bei Ausgaben negativ)"), K::Amount, 8},
        {QStringLiteral("MwSt. zu Satz 1"),
         QStringLiteral("Enthaltene Umsatzsteuer zum ersten Steuersatz"), K::Amount, 9},
        {QStringLiteral("MwSt. zu Satz 2"),
         QStringLiteral("Enthaltene Umsatzsteuer zum zweiten Steuersatz"), K::Amount, 10},
        {QStringLiteral("Status"),
         QStringLiteral("Leer: gewöhnliche Zeile; S: storniert; Storno: Gegenbuchung einer "
                        "stornierten Zeile"),
         K::Text,
         11,
         {{QStringLiteral("S"), QStringLiteral("storniert")},
          {QStringLiteral("Storno"), QStringLiteral("Gegenbuchung")}}},
        {QStringLiteral("Erledigt"),
         QStringLiteral("V: als erledigt markiert"),
         K::Text,
         12,
         {{QStringLiteral("V"), QStringLiteral("erledigt")}}},
        {QStringLiteral("Offen"),
         QStringLiteral("O: nicht erledigt"),
         K::Text,
         13,
         {{QStringLiteral("O"), QStringLiteral("offen")}}},
        {QStringLiteral("Datumsschlüssel"),
         QStringLiteral("Buchungsdatum als JJJJMMTT (leer bei Gegenbuchungen)"), K::Text, 14},
        {QStringLiteral("Feld a9"), QStringLiteral("Nicht benutzt; unverändert ausgegeben"),
         K::Text, 15},
        {QStringLiteral("Kassenbestand"),
         QStringLiteral("Kassenbestand nach dieser Zeile (alle Tage, einschließlich des Bestands "
                        "der Wechselkasse)"),
         K::Amount, 16},
        {QStringLiteral("erfasst am"),
         QStringLiteral("Tag der ersten Erfassung der Zeile laut Änderungsprotokoll; leer bei "
                        "Zeilen aus der Zeit vor dem Protokoll"),
         K::MomentDate, 17},
        {QStringLiteral("erfasst um"),
         QStringLiteral("Uhrzeit der ersten Erfassung (hh:mm:ss, Ortszeit)"), K::MomentTime, 17},
    };
    t.push_back(lines);

    Table days;
    days.file = QStringLiteral("Tage.csv");
    days.name = QStringLiteral("Tage");
    days.description = QStringLiteral("Die Tage des Kassenbuchs im Zeitraum");
    days.select = QStringLiteral(
        "SELECT ID, a1, a2, a3 FROM Datum ORDER BY substr(a1, 7, 4), substr(a1, 4, 2), "
        "substr(a1, 1, 2), ID;");
    days.periodField = 1;
    days.columns = {
        {QStringLiteral("Tag-Nr."), QStringLiteral("Nummer des Tages"), K::Number, 0},
        {QStringLiteral("Datum"), QStringLiteral("Datum des Tages"), K::Date, 1},
        {QStringLiteral("Datumsschlüssel"), QStringLiteral("Datum als JJJJMMTT"), K::Text, 2},
        {QStringLiteral("Saldo des Tages"),
         QStringLiteral("Einnahmen weniger Ausgaben des Tages in Euro"), K::Amount, 3},
    };
    t.push_back(days);

    Table texts;
    texts.file = QStringLiteral("Buchungstexte.csv");
    texts.name = QStringLiteral("Buchungstexte");
    texts.description = QStringLiteral("Die Liste der Buchungstexte (Geschäftsvorfälle)");
    texts.select = QStringLiteral("SELECT ID, a1 FROM Buchungstext ORDER BY ID;");
    texts.columns = {
        {QStringLiteral("Nr."), QStringLiteral("Nummer des Buchungstextes"), K::Number, 0},
        {QStringLiteral("Buchungstext"), QStringLiteral("Der Buchungstext"), K::Text, 1},
    };
    t.push_back(texts);

    Table settings;
    settings.file = QStringLiteral("Einstellungen.csv");
    settings.name = QStringLiteral("Einstellungen");
    settings.description = QStringLiteral(
        "Die Einstellungen des Kassenbuchs zum Zeitpunkt des Exports (ohne das Passwort)");
    settings.select =
        QStringLiteral("SELECT ID, Einst15, Einst16, Einst17, Einst18, Einst19, "
                       "Einst20, Einst10, Einst11, Einst12, Einst13, Einst14, "
                       "CASE WHEN coalesce(Memo10, '') = '' THEN 'nein' ELSE 'ja' END "
                       "FROM Einstellungen ORDER BY ID;");
    settings.columns = {
        {QStringLiteral("Nr."), QStringLiteral("Nummer des Datensatzes"), K::Number, 0},
        {QStringLiteral("Bestand der Wechselkasse"),
         QStringLiteral("Wechselgeld, das dem Kassenbestand zugerechnet wird"), K::Amount, 1},
        {QStringLiteral("MwSt.-Satz 1"), QStringLiteral("Erster Steuersatz in Prozent"), K::Text,
         2},
        {QStringLiteral("MwSt.-Satz 2"), QStringLiteral("Zweiter Steuersatz in Prozent"), K::Text,
         3},
        {QStringLiteral("Währung"), QStringLiteral("Währung des Ausdrucks"), K::Text, 4},
        {QStringLiteral("nächste Beleg-Nr."), QStringLiteral("Nächste Belegnummer"), K::Text, 5},
        {QStringLiteral("Steuer nicht drucken"),
         QStringLiteral("X: Steuerbeträge werden im Ausdruck weggelassen"), K::Text, 6},
        {QStringLiteral("Spalte 1"),
         QStringLiteral("Überschrift der ersten frei benennbaren Spalte"), K::Text, 7},
        {QStringLiteral("Spalte 2"),
         QStringLiteral("Überschrift der zweiten frei benennbaren Spalte"), K::Text, 8},
        {QStringLiteral("Spalte 3"),
         QStringLiteral("Überschrift der dritten frei benennbaren Spalte"), K::Text, 9},
        {QStringLiteral("Spalte 4"),
         QStringLiteral("Überschrift der vierten frei benennbaren Spalte"), K::Text, 10},
        {QStringLiteral("Spalte 5"),
         QStringLiteral("Überschrift der fünften frei benennbaren Spalte"), K::Text, 11},
        {QStringLiteral("Passwort gesetzt"),
         QStringLiteral("ja: Funktionen sind durch ein Passwort geschützt; nein: ohne Passwort"),
         K::Text, 12},
    };
    t.push_back(settings);

    Table log;
    log.file = QStringLiteral("Protokoll.csv");
    log.name = QStringLiteral("Änderungsprotokoll");
    log.description = QStringLiteral(
        "Das ganze Änderungsprotokoll (alle Einträge, nicht nur die des Zeitraums, damit die Kette "
        "der Prüfsummen geprüft werden kann)");
    log.select = QStringLiteral("SELECT ID, Zeit, Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, "
                                "Nachher, lower(hex(Pruefsumme)) FROM Protokoll ORDER BY ID;");
    log.needs = QStringLiteral("Protokoll");
    log.columns = {
        {QStringLiteral("Nr."), QStringLiteral("Laufende Nummer des Eintrags"), K::Number, 0},
        {QStringLiteral("Datum"), QStringLiteral("Tag des Eintrags (Ortszeit)"), K::MomentDate, 1},
        {QStringLiteral("Uhrzeit"), QStringLiteral("Uhrzeit des Eintrags (hh:mm:ss, Ortszeit)"),
         K::MomentTime, 2},
        {QStringLiteral("Art"), QStringLiteral("Was der Eintrag festhält"), K::Number, 3,
         logKinds()},
        {QStringLiteral("Anlass"), QStringLiteral("Die Funktion, die geschrieben hat"), K::Number,
         4, logReasons()},
        {QStringLiteral("Bezug"),
         QStringLiteral("Zeilen-Nr., Tag-Nr. oder Nr. der Einstellungen, die der Eintrag betrifft"),
         K::Number, 5},
        {QStringLiteral("Beleg-Nr."), QStringLiteral("Belegnummer der Zeile"), K::Text, 6},
        {QStringLiteral("Buchungsdatum"), QStringLiteral("Datum der Zeile oder des Tages"), K::Text,
         7},
        {QStringLiteral("Vorher"),
         QStringLiteral("Inhalt vor der Änderung: Spalte=Wert, durch ; getrennt"), K::Text, 8},
        {QStringLiteral("Nachher"), QStringLiteral("Inhalt nach der Änderung"), K::Text, 9},
        {QStringLiteral("Prüfsumme"),
         QStringLiteral("SHA-256 über die Prüfsumme des vorigen Eintrags und die Felder dieses "
                        "Eintrags (hexadezimal)"),
         K::Text, 10},
    };
    t.push_back(log);

    // The kept till counts. A file whose table has other columns gets them described as they
    // are.
    Table counts;
    counts.file = QStringLiteral("Zaehlungen.csv");
    counts.name = QStringLiteral("Zählungen");
    counts.description = QStringLiteral("Die gespeicherten Kassenzählungen (Zählprotokolle)");
    counts.needs = QStringLiteral("Zaehlungen");
    QStringList countColumns;
    counts.columns = {
        {QStringLiteral("Nr."), QStringLiteral("Nummer des Zählprotokolls"), K::Number, 0},
        {QStringLiteral("Zeitpunkt"), QStringLiteral("Wann die Zählung gespeichert wurde"), K::Text,
         1},
        {QStringLiteral("Tag"), QStringLiteral("Der Tag des Kassenbuchs, an dem gezählt wurde"),
         K::Date, 2},
    };
    for (int i = 1; i <= TillCount::kLines; ++i) {
        const QString value = TillCount::captions()[size_t(i - 1)];
        countColumns << QStringLiteral("Anzahl%1").arg(i);
        counts.columns.push_back(
            {QStringLiteral("Anzahl %1").arg(value),
             QStringLiteral("Gezählte Anzahl der %1 zu %2 Euro")
                 .arg(TillCount::isCoin(i) ? QStringLiteral("Münzen") : QStringLiteral("Scheine"),
                      value),
             K::Text, 2 + i});
    }
    counts.columns.push_back({QStringLiteral("Gezählt"),
                              QStringLiteral("Summe des gezählten Bargelds in Euro"), K::Amount,
                              3 + TillCount::kLines});
    counts.columns.push_back({QStringLiteral("Buchbestand"),
                              QStringLiteral("Kassenbestand laut Kassenbuch in Euro"), K::Amount,
                              4 + TillCount::kLines});
    counts.columns.push_back({QStringLiteral("Differenz"),
                              QStringLiteral("Gezählt weniger Buchbestand in Euro"), K::Amount,
                              5 + TillCount::kLines});
    counts.select =
        QStringLiteral("SELECT ID, Zeit, Tag, ") + countColumns.join(QStringLiteral(", ")) +
        QStringLiteral(", Gezaehlt, Buchbestand, Differenz FROM Zaehlungen ORDER BY ID;");
    t.push_back(counts);
    return t;
}

AuditorExport::AuditorExport(Database& db, Dialogs& dialogs, const Clock& clock, Progress* progress)
    : db_(db), dialogs_(dialogs), clock_(clock), progress_(progress ? *progress : silent_) {}

QString AuditorExport::folderName(const QString& periodStart, const QString& periodEnd) {
    return QStringLiteral("Betriebspruefung_%1_%2")
        .arg(cashdate::key8(periodStart), cashdate::key8(periodEnd));
}

// Writes the tables of one export into its temporary folder.
struct AuditorExport::Writer {
    Writer(AuditorExport& o, QString f, QString s, QString e)
        : out(o), folder(std::move(f)), start(std::move(s)), end(std::move(e)),
          startKey(cashdate::rangeNumber(start)), endKey(cashdate::rangeNumber(end)) {}
    AuditorExport& out;
    QString folder;
    QString start, end;
    int startKey, endKey;
    qint64 done = 0;
    bool stopped = false;
    Result error;
    QString replaced;

    bool step() {
        if (++done % kStepRows == 0 && !out.progress_.step(done))
            stopped = true;
        return !stopped;
    }

    void cell(Cp1252Line& row, const Column& c, const Statement& st) {
        const int i = c.source;
        switch (c.kind) {
        case Kind::Number: {
            const QString v = st.text(i).trimmed();
            row.plain(isWholeNumber(v) ? v : QString());
            break;
        }
        case Kind::Amount: {
            const auto m = Money::parse(st.text(i));
            row.plain(m ? m->toText() : QString());
            break;
        }
        case Kind::NotAmount: {
            const QString v = st.text(i);
            row.quoted(v.trimmed().isEmpty() || Money::parse(v) ? QString() : v);
            break;
        }
        case Kind::Date:
            row.plain(dayText(st.text(i)));
            break;
        case Kind::Text:
            row.quoted(st.text(i));
            break;
        case Kind::MomentDate:
        case Kind::MomentTime: {
            const bool known = !st.isNull(i) && isWholeNumber(st.text(i));
            if (known)
                moment(st.integer(i));
            if (c.kind == Kind::MomentDate)
                row.plain(known ? momentDate : QString());
            else
                row.quoted(known ? momentTime : QString());
            break;
        }
        }
    }

    // The local date and time of a moment. The zone is read once: asking the C library for
    // each moment would look at the system's zone file every time.
    void moment(qint64 secs) {
        if (secs == momentSecs && !momentDate.isEmpty())
            return;
        const QDateTime m = QDateTime::fromSecsSinceEpoch(secs, zone);
        momentSecs = secs;
        momentDate = m.toString(QStringLiteral("dd.MM.yyyy"));
        momentTime = m.toString(QStringLiteral("HH:mm:ss"));
    }
    const QTimeZone zone = QTimeZone::systemTimeZone();
    qint64 momentSecs = 0;
    QString momentDate, momentTime;

    // One table as a CSV file; the number of rows, or -1 (error or stop).
    qint64 table(Table& t) {
        ExportFile file(QDir(folder).filePath(t.file));
        if (const Result r = file.open(); !r.ok()) {
            error = r;
            return -1;
        }
        Statement st;
        if (!t.periodLines) {
            st = out.db_.prepare(t.select);
            if (!st.isValid() && !t.needs.isEmpty()) {
                // A table of another shape than ours: every column as it stands.
                t.columns.clear();
                st = out.db_.prepare(QStringLiteral("SELECT * FROM ") + t.needs +
                                     QStringLiteral(" ORDER BY ID;"));
            }
            if (!st.isValid()) {
                error = out.db_.lastFailure();
                return -1;
            }
            if (t.columns.empty()) // described by what the table holds
                for (int i = 0; i < st.columnCount(); ++i) {
                    const QString name = st.columnName(i);
                    t.columns.push_back(
                        {name, {}, name == QLatin1String("ID") ? Kind::Number : Kind::Text, i});
                }
        }
        Cp1252Line row;
        for (const Column& c : t.columns)
            row.quoted(c.name);
        file.write(row);
        qint64 rows = 0;
        auto writeRow = [&](const Statement& s) {
            row.clear();
            for (const Column& c : t.columns)
                cell(row, c, s);
            file.write(row);
            ++rows;
            return step();
        };
        if (t.periodLines) {
            PeriodLines lines(out.db_, start, end);
            if (const Result read = lines.read(); !read) {
                error = read;
                return -1;
            }
            const PeriodLines::Walk walked = lines.walk(
                t.select, 0, lines.dates().size(),
                [&](const PeriodLines::Date&, const Statement& s) { return writeRow(s); });
            if (walked.end != PeriodLines::Walk::Done) {
                error = walked.failure;
                return -1;
            }
        } else {
            while (st.next()) {
                if (t.periodField >= 0) {
                    const int key = cashdate::rangeNumber(st.text(t.periodField));
                    if (key < startKey || key > endKey)
                        continue;
                }
                if (!writeRow(st))
                    return -1;
            }
            if (!st.failure().ok()) {
                error = st.failure();
                return -1;
            }
        }
        for (const QChar c : file.replaced())
            if (!replaced.contains(c))
                replaced += c;
        if (const Result r = file.commit(); !r.ok()) {
            error = r;
            return -1;
        }
        return rows;
    }
};

AuditorExport::Outcome AuditorExport::fail(const Result& why) {
    dialogs_.message(
        QStringLiteral("Der Export für die Betriebsprüfung konnte nicht geschrieben "
                       "werden: %1\n\nEs wurde nichts geschrieben; was im Ordner schon "
                       "lag, ist unverändert.")
            .arg(germanText(why)),
        kTitle, Icon::Critical);
    return Outcome::Failed;
}

namespace {
// The description of the export after the description standard.
QByteArray indexXml(const std::vector<AuditorExport::Table>& tables, const QString& start,
                    const QString& end, const QString& comment) {
    using K = AuditorExport::Kind;
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeDTD(
        QStringLiteral("<!DOCTYPE DataSet SYSTEM \"%1\">").arg(AuditorExport::dtdFileName()));
    w.writeStartElement(QStringLiteral("DataSet"));
    w.writeTextElement(QStringLiteral("Version"), QStringLiteral("1.0"));
    w.writeStartElement(QStringLiteral("Media"));
    w.writeTextElement(QStringLiteral("Name"),
                       QStringLiteral("Kassenbuch %1 bis %2").arg(start, end));
    w.writeComment(QLatin1Char(' ') + comment + QLatin1Char(' '));
    for (const AuditorExport::Table& t : tables) {
        w.writeStartElement(QStringLiteral("Table"));
        w.writeTextElement(QStringLiteral("URL"), t.file);
        w.writeTextElement(QStringLiteral("Name"), t.name);
        w.writeTextElement(QStringLiteral("Description"), t.description);
        if (t.periodLines || t.periodField >= 0) {
            w.writeStartElement(QStringLiteral("Validity"));
            w.writeStartElement(QStringLiteral("Range"));
            w.writeTextElement(QStringLiteral("From"), start);
            w.writeTextElement(QStringLiteral("To"), end);
            w.writeEndElement();
            w.writeTextElement(QStringLiteral("Format"), kDateFormat);
            w.writeEndElement();
        }
        w.writeEmptyElement(QStringLiteral("ANSI"));
        w.writeTextElement(QStringLiteral("DecimalSymbol"), QStringLiteral(","));
        w.writeTextElement(QStringLiteral("DigitGroupingSymbol"), QStringLiteral("."));
        // The first line holds the column names.
        w.writeStartElement(QStringLiteral("Range"));
        w.writeTextElement(QStringLiteral("From"), QStringLiteral("2"));
        w.writeEndElement();
        w.writeStartElement(QStringLiteral("VariableLength"));
        w.writeTextElement(QStringLiteral("ColumnDelimiter"), QStringLiteral(";"));
        w.writeTextElement(QStringLiteral("RecordDelimiter"), QStringLiteral("@CRLF@"));
        w.writeTextElement(QStringLiteral("TextEncapsulator"), QStringLiteral("\""));
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const AuditorExport::Column& c = t.columns[i];
            w.writeStartElement(i < size_t(t.keys) ? QStringLiteral("VariablePrimaryKey")
                                                   : QStringLiteral("VariableColumn"));
            w.writeTextElement(QStringLiteral("Name"), c.name);
            if (!c.description.isEmpty())
                w.writeTextElement(QStringLiteral("Description"), c.description);
            switch (c.kind) {
            case K::Number:
                w.writeEmptyElement(QStringLiteral("Numeric"));
                break;
            case K::Amount:
                w.writeStartElement(QStringLiteral("Numeric"));
                w.writeTextElement(QStringLiteral("Accuracy"), QStringLiteral("2"));
                w.writeEndElement();
                break;
            case K::Date:
            case K::MomentDate:
                w.writeStartElement(QStringLiteral("Date"));
                w.writeTextElement(QStringLiteral("Format"), kDateFormat);
                w.writeEndElement();
                break;
            default:
                w.writeEmptyElement(QStringLiteral("AlphaNumeric"));
                break;
            }
            for (const auto& [from, to] : c.map) {
                w.writeStartElement(QStringLiteral("Map"));
                w.writeTextElement(QStringLiteral("From"), from);
                w.writeTextElement(QStringLiteral("To"), to);
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        w.writeEndElement(); // VariableLength
        w.writeEndElement(); // Table
    }
    w.writeEndElement(); // Media
    w.writeEndElement(); // DataSet
    w.writeEndDocument();
    // The line end of the files as character references: a bare CR LF in the text would be
    // read as white space.
    xml.replace("@CRLF@", "&#13;&#10;");
    return xml;
}
} // namespace

AuditorExport::Outcome AuditorExport::writeInto(const QString& parent, const QString& periodStart,
                                                const QString& periodEnd) {
    written_.clear();
    files_.clear();
    const QDate from = cashdate::fromText(periodStart);
    const QDate to = cashdate::fromText(periodEnd);
    if (!from.isValid() || !to.isValid() || from > to) {
        dialogs_.message(QStringLiteral("Der Zeitraum %1 bis %2 besteht nicht aus gültigen Tagen; "
                                        "es wurde nichts geschrieben.")
                             .arg(periodStart, periodEnd),
                         kTitle, Icon::Exclamation);
        return Outcome::Failed;
    }

    // A folder of its own that takes no other's name: an earlier export of the same period
    // stays as it is.
    const QString base = QDir(parent).filePath(folderName(periodStart, periodEnd));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    // A temporary folder of an export cut short by a crash is never a whole export.
    const QString tmp = ExportFile::tempPathOf(target);
    if (QFileInfo::exists(tmp))
        QDir(tmp).removeRecursively();
    if (::mkdir(QFile::encodeName(tmp).constData(), 0755) != 0)
        return fail(fromErrno(errno));

    Writer w(*this, tmp, periodStart, periodEnd);
    const bool log = hasTable(db_, QStringLiteral("Protokoll"));
    db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + kEntered);
    db_.exec(QStringLiteral("CREATE TEMP TABLE ") + kEntered +
             QStringLiteral(" (Bezug INTEGER PRIMARY KEY, Zeit INTEGER);"));
    if (log)
        db_.exec(QStringLiteral("INSERT OR IGNORE INTO temp.") + kEntered +
                 QStringLiteral(" SELECT Bezug, Zeit FROM Protokoll WHERE Art = 1 AND Bezug IS "
                                "NOT NULL ORDER BY ID;"));

    qint64 total = 0;
    {
        PeriodLines p(db_, periodStart, periodEnd);
        if (p.read())
            total = p.lineCount();
        total += db_.scalar(QStringLiteral("SELECT (SELECT count(*) FROM Datum) + (SELECT "
                                           "count(*) FROM Buchungstext);"))
                     .toLongLong();
        if (log)
            total += db_.scalar(QStringLiteral("SELECT count(*) FROM Protokoll;")).toLongLong();
    }
    progress_.begin(QStringLiteral("Der Export für die Betriebsprüfung wird geschrieben …"), total);
    std::vector<Table> written;
    QStringList counts, hints;
    bool ok = true;
    for (Table& t : tables()) {
        if (!t.needs.isEmpty() && !hasTable(db_, t.needs))
            continue;
        const qint64 rows = w.table(t);
        if (rows < 0) {
            ok = false;
            break;
        }
        counts << QStringLiteral("%1 (%2 %3)")
                      .arg(t.file, number(rows),
                           rows == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
        hints << QStringLiteral("%1 – %2: %3 %4.")
                     .arg(t.file, t.description, number(rows),
                          rows == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
        written.push_back(std::move(t));
    }
    db_.exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + kEntered);
    progress_.end();

    auto removeTmp = [&] { QDir(tmp).removeRecursively(); };
    if (w.stopped) {
        removeTmp();
        dialogs_.message(QStringLiteral("Der Export für die Betriebsprüfung wurde abgebrochen. Es "
                                        "wurde nichts geschrieben."),
                         kTitle, Icon::Information);
        return Outcome::Cancelled;
    }
    if (!ok) {
        removeTmp();
        return fail(w.error);
    }

    // The head of the change log: the last entry and its checksum.
    QString head = QStringLiteral("Dieses Kassenbuch führt kein Änderungsprotokoll.");
    if (log) {
        Statement st = db_.prepare(QStringLiteral(
            "SELECT ID, lower(hex(Pruefsumme)), (SELECT count(*) FROM Protokoll) FROM Protokoll "
            "ORDER BY ID DESC LIMIT 1;"));
        head = st.next() ? QStringLiteral("Änderungsprotokoll: %1 Einträge, letzter Eintrag Nr. "
                                          "%2, seine Prüfsumme (SHA-256):\r\n%3")
                               .arg(number(st.integer(2)), st.text(0), st.text(1))
                         : QStringLiteral("Das Änderungsprotokoll ist leer.");
    }
    const QDateTime now = clock_.now();
    const QString made =
        QStringLiteral("Erstellt am %1 um %2 mit Tillbook, %3.")
            .arg(now.toString(QStringLiteral("dd.MM.yyyy")),
                 now.toString(QStringLiteral("HH:mm:ss")), VersionCheck::installedVersion());

    const QByteArray xml = indexXml(written, periodStart, periodEnd, made);
    Result r = writeWholeFile(QDir(tmp).filePath(QStringLiteral("index.xml")), xml);
    if (r.ok())
        r = writeWholeFile(QDir(tmp).filePath(dtdFileName()), QByteArray(kGdpduDtd));
    if (r.ok()) {
        ExportFile notes(QDir(tmp).filePath(QStringLiteral("Hinweise.txt")));
        r = notes.open();
        if (r.ok()) {
            const QStringList text = {
                QStringLiteral("Datenüberlassung für die Betriebsprüfung"),
                QStringLiteral("========================================"),
                QString(),
                QStringLiteral("Kassenbuch (Bargeschäfte), Zeitraum %1 bis %2.")
                    .arg(periodStart, periodEnd),
                QStringLiteral("Datendatei: %1").arg(db_.path()),
                made,
                QString(),
                QStringLiteral("index.xml beschreibt jede Tabelle Spalte für Spalte nach dem "
                               "Beschreibungsstandard für die Datenträgerüberlassung; die "
                               "Dokumenttypdefinition %1 liegt bei.")
                    .arg(dtdFileName()),
                QString(),
                hints.join(QStringLiteral("\r\n")),
                QString(),
                QStringLiteral("Alle CSV-Dateien: Zeichensatz Windows-1252 (ANSI), Spalten durch "
                               "Semikolon getrennt, Texte in Anführungszeichen, Beträge in Euro "
                               "mit Dezimalkomma, Datum TT.MM.JJJJ, Zeilenende CR LF; die erste "
                               "Zeile enthält die Spaltennamen."),
                QStringLiteral("Stornierte Zeilen (Status S) und ihre Gegenbuchungen (Status "
                               "Storno) sind enthalten; Zeilen mit einem Kennbuchstaben statt "
                               "eines Betrags zählen in keiner Summe."),
                QString(),
                head,
            };
            for (const QString& l : text)
                notes.write(Cp1252Line().plain(l));
            r = notes.commit();
        }
    }
    if (r.ok() && !syncFolderOf(QDir(tmp).filePath(QStringLiteral("index.xml"))))
        r = fromErrno(errno ? errno : EIO);
    if (r.ok())
        r = replaceFile(tmp, target);
    if (!r.ok()) {
        removeTmp();
        return fail(r);
    }
    written_ = target;
    for (const Table& t : written)
        files_ << t.file;
    files_ << QStringLiteral("index.xml") << dtdFileName() << QStringLiteral("Hinweise.txt");

    QString message = QStringLiteral("Der Export für die Betriebsprüfung wurde in den Ordner\n%1\n"
                                     "geschrieben:\n\n%2\nindex.xml, %3, Hinweise.txt\n\nGeben Sie "
                                     "dem Prüfer den ganzen Ordner.")
                          .arg(target, counts.join(QLatin1Char('\n')), dtdFileName());
    if (!w.replaced.isEmpty())
        message += QStringLiteral("\n\nDiese Zeichen kennt der Zeichensatz Windows-1252 nicht; in "
                                  "den Dateien steht dafür „?“: ") +
                   w.replaced;
    dialogs_.message(message, kTitle, Icon::Information);
    return Outcome::Written;
}

AuditorExport::Outcome AuditorExport::run(const QString& periodStart, const QString& periodEnd,
                                          const QString& folder) {
    const QString parent = dialogs_.chooseFolder(
        QStringLiteral("Export für die Betriebsprüfung %1 bis %2 – Ordner wählen")
            .arg(periodStart, periodEnd),
        folder);
    if (parent.isEmpty())
        return Outcome::Cancelled;
    return writeInto(parent, periodStart, periodEnd);
}

} // namespace tb
