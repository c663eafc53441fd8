#include "auditor_export.h"
#include "cash_file.h"
#include "child.h"
#include "cp1252.h"
#include "csv_fields.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace tb;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What index.xml says of one file, as an auditor's program reads it.
struct Described {
    QString url;
    bool ansi = false;
    QString decimal, grouping, delimiter, encapsulator, recordEnd;
    int from = 1;
    struct Column {
        QString name, type, format;
        int accuracy = 0;
    };
    std::vector<Column> columns;
};

std::vector<Described> readIndex(const QString& path, QString* problem) {
    std::vector<Described> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *problem = "index.xml fehlt";
        return out;
    }
    QXmlStreamReader x(&f);
    QStringList stack;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            const QString e = x.name().toString();
            const QString parent = stack.value(stack.size() - 1);
            stack << e;
            if (e == "Table")
                out.emplace_back();
            else if (e == "VariableColumn" || e == "VariablePrimaryKey")
                out.back().columns.emplace_back();
            else if (e == "ANSI")
                out.back().ansi = true;
            else if (e == "Numeric" || e == "AlphaNumeric" || e == "Date")
                out.back().columns.back().type = e;
            else if (e == "Name" && (parent == "VariableColumn" || parent == "VariablePrimaryKey"))
                out.back().columns.back().name = x.readElementText(), stack.removeLast();
            else if (e == "Accuracy")
                out.back().columns.back().accuracy = x.readElementText().toInt(),
                stack.removeLast();
            else if (e == "Format" && parent == "Date")
                out.back().columns.back().format = x.readElementText(), stack.removeLast();
            else if (e == "From" && parent == "Range" && stack.value(stack.size() - 3) == "Table")
                out.back().from = x.readElementText().toInt(), stack.removeLast();
            else if (!out.empty() && parent == "Table" && e == "URL")
                out.back().url = x.readElementText(), stack.removeLast();
            else if (!out.empty() && (e == "DecimalSymbol" || e == "DigitGroupingSymbol" ||
                                      e == "ColumnDelimiter" || e == "TextEncapsulator" ||
                                      e == "RecordDelimiter")) {
                const QString v = x.readElementText();
                stack.removeLast();
                Described& d = out.back();
                (e == "DecimalSymbol"         ? d.decimal
                 : e == "DigitGroupingSymbol" ? d.grouping
                 : e == "ColumnDelimiter"     ? d.delimiter
                 : e == "TextEncapsulator"    ? d.encapsulator
                                              : d.recordEnd) = v;
            }
        } else if (x.isEndElement()) {
            stack.removeLast();
        }
    }
    if (x.hasError())
        *problem = "index.xml: " + x.errorString();
    return out;
}

// Checks every file index.xml names against its description: the column names in the first
// line, the same number of fields in every line, numbers with the stated decimal and grouping
// symbols and as many decimals as stated, dates in their format, CR LF after every line.
// Returns what does not match (empty: all does) and the files it read.
QStringList checkExport(const QString& folder, QStringList* read = nullptr) {
    QStringList problems;
    QString problem;
    const std::vector<Described> tables = readIndex(folder + "/index.xml", &problem);
    if (!problem.isEmpty())
        return {problem};
    for (const Described& t : tables) {
        if (read)
            *read << t.url;
        const auto where = [&](int line) { return QString("%1 Zeile %2: ").arg(t.url).arg(line); };
        if (!t.ansi || t.delimiter != ";" || t.encapsulator != "\"" || t.recordEnd != "\r\n" ||
            t.decimal != "," || t.grouping != "." || t.from != 2) {
            problems << t.url + ": Beschreibung des Formats";
            continue;
        }
        const QByteArray bytes = readAll(folder + "/" + t.url);
        if (!bytes.endsWith("\r\n")) {
            problems << t.url + ": letzte Zeile ohne CR LF";
            continue;
        }
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast();
        const QString grouping = QRegularExpression::escape(t.grouping);
        for (int l = 0; l < lines.size(); ++l) {
            if (!lines[l].endsWith('\r') || lines[l].chopped(1).contains('\r')) {
                problems << where(l + 1) + "Zeilenende";
                continue;
            }
            const QStringList fields = test::csvFields(fromCp1252(lines[l].chopped(1)));
            if (fields.size() != int(t.columns.size())) {
                problems
                    << where(l + 1) +
                           QString("%1 Felder statt %2").arg(fields.size()).arg(t.columns.size());
                continue;
            }
            for (size_t c = 0; c < t.columns.size(); ++c) {
                const Described::Column& col = t.columns[c];
                const QString& v = fields[int(c)];
                if (l + 1 < t.from) {
                    if (v != col.name)
                        problems << where(l + 1) + "Spaltenname " + v + " statt " + col.name;
                    continue;
                }
                if (v.isEmpty())
                    continue;
                bool ok = true;
                if (col.type == "Numeric") {
                    const QString decimals =
                        col.accuracy > 0 ? QString("%1\\d{%2}").arg(t.decimal).arg(col.accuracy)
                                         : QString();
                    ok = QRegularExpression(
                             QString("^-?(\\d+|\\d{1,3}(%1\\d{3})+)%2$").arg(grouping, decimals))
                             .match(v)
                             .hasMatch();
                } else if (col.type == "Date") {
                    QString qtFormat = col.format;
                    qtFormat.replace("DD", "dd").replace("YYYY", "yyyy");
                    ok = v.size() == col.format.size() && QDate::fromString(v, qtFormat).isValid();
                } else {
                    ok = col.type == "AlphaNumeric";
                }
                if (!ok)
                    problems << where(l + 1) + col.name + " = " + v;
            }
        }
    }
    return problems;
}

// A book as it was before the change log and the kept counts: their triggers and tables go.
void withoutLogAndCounts(Database& db) {
    QStringList drops;
    Statement st = db.prepare("SELECT name FROM sqlite_master WHERE type = 'trigger';");
    while (st.next())
        drops << "DROP TRIGGER \"" + st.text(0) + "\";";
    drops << "DROP TABLE IF EXISTS Protokoll;"
          << "DROP TABLE IF EXISTS Zaehlungen;";
    for (const QString& sql : drops)
        ASSERT_TRUE(db.exec(sql)) << sql.toStdString();
}

// The change log's table as the program creates it.
void createLog(Database& db) {
    withoutLogAndCounts(db);
    ASSERT_TRUE(db.exec("CREATE TABLE Protokoll (ID INTEGER PRIMARY KEY AUTOINCREMENT, Zeit "
                        "INTEGER, Art INTEGER, Anlass INTEGER, Bezug INTEGER, Beleg TEXT, Datum "
                        "TEXT, Vorher TEXT, Nachher TEXT, Pruefsumme BLOB);"));
}

qint64 secs(const QDate& d, const QTime& t) {
    return QDateTime(d, t).toSecsSinceEpoch();
}

struct Auditor : ::testing::Test {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2025, 3, 4), QTime(9, 15, 0))};
    QTemporaryDir out;

    qint64 line(const QString& date, const QString& text, const QString& remark,
                const QString& receipt, const QString& payment, const QString& number,
                const QString& status = {}) {
        Statement st = book.db().prepare(
            "INSERT INTO Buchungen (a1, n1, n2, a4, a5, a6, a7, a8, a10, a11, a15) VALUES (?, ?, "
            "?, ?, ?, '19', '0,00', ?, ?, ?, '12,50');");
        st.bindAll(
            {status, text, remark, receipt, payment, number, date,
             status == "Storno" ? QString() : date.mid(6, 4) + date.mid(3, 2) + date.left(2)});
        EXPECT_TRUE(st.run());
        return book.db().lastInsertId();
    }
    void logEntry(qint64 time, int kind, qint64 ref) {
        Statement st = book.db().prepare("INSERT INTO Protokoll (Zeit, Art, Anlass, Bezug, Beleg, "
                                         "Datum, Vorher, Nachher, Pruefsumme) VALUES (?, ?, 1, ?, "
                                         "'', '', '', 'a4=1,00', zeroblob(32));");
        st.bindValues({time, kind, ref});
        EXPECT_TRUE(st.run());
    }
    AuditorExport::Outcome run(AuditorExport& e) {
        return e.writeInto(out.path(), "01.01.2024", "31.12.2024");
    }
    QStringList rowsOf(const QString& folder, const QString& file) {
        QStringList rows = fromCp1252(readAll(folder + "/" + file)).split("\r\n");
        rows.removeLast();
        return rows;
    }
};

} // namespace

TEST_F(Auditor, TheExportOfABookMatchesItsDescription) {
    createLog(book.db());
    book.addDay("02.01.2024");
    book.addDay("15.01.2024");
    book.addDay("31.12.2023");
    book.setSetting("Memo10", "4142");
    const qint64 sale = line("02.01.2024", "Bareinnahme", "Kunde \"Müller\"; Café\nzweite Zeile",
                             "1234,50", "", "1");
    line("02.01.2024", "Bareinnahme", "", "K", "", "2");
    const qint64 cancelled = line("15.01.2024", "Bareinnahme", "", "119,00", "", "3", "S");
    line("15.01.2024", "STORNO  Bareinnahme", "Toner Ω", "-119,00", "", "4", "Storno");
    line("15.01.2024", "Porto", "", "", "8,50", "5");
    line("31.12.2023", "Bareinnahme", "vorher", "2,00", "", "6");
    line("01.01.2025", "Bareinnahme", "nachher", "3,00", "", "7");
    const qint64 entered = secs(QDate(2024, 1, 2), QTime(18, 5, 9));
    logEntry(entered - 60, 14, 0);
    logEntry(entered, 1, sale);
    logEntry(entered + 5, 1, cancelled);
    logEntry(entered + 6, 2, sale); // a later change does not move the entry time
    ASSERT_TRUE(book.db().exec("UPDATE Protokoll SET Pruefsumme = x'00ff" + QString(60, '0') +
                               "' WHERE ID = 4;"));

    AuditorExport e(book.db(), dialogs, clock);
    ASSERT_EQ(run(e), AuditorExport::Outcome::Written) << dialogs.last().text.toStdString();
    const QString folder = out.path() + "/Betriebspruefung_20240101_20241231";
    EXPECT_EQ(e.written(), folder);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"Betriebspruefung_20240101_20241231"}));
    EXPECT_EQ(
        QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        QStringList({"Buchungen.csv", "Buchungstexte.csv", "Einstellungen.csv", "Hinweise.txt",
                     "Protokoll.csv", "Tage.csv", "gdpdu-01-08-2002.dtd", "index.xml"}));

    QStringList read;
    EXPECT_EQ(checkExport(folder, &read), QStringList());
    EXPECT_EQ(read, QStringList({"Buchungen.csv", "Tage.csv", "Buchungstexte.csv",
                                 "Einstellungen.csv", "Protokoll.csv"}));

    // The lines of the period in booking order, cancelled lines and counter-entries included,
    // amounts exact, a marker apart from the amounts, the entry time from the log.
    const QStringList lines = rowsOf(folder, "Buchungen.csv");
    ASSERT_EQ(lines.size(), 6);
    const QStringList first = test::csvFields(lines[1]);
    EXPECT_EQ(first[0], QString::number(sale));
    EXPECT_EQ(first[1], "02.01.2024");
    EXPECT_EQ(first[4], "Kunde \"Müller\"; Café zweite Zeile");
    EXPECT_EQ(first[5], "1234,50");
    EXPECT_EQ(first[18], "12,50");
    EXPECT_EQ(first[19], "02.01.2024");
    EXPECT_EQ(first[20], "18:05:09");
    const QStringList marker = test::csvFields(lines[2]);
    EXPECT_EQ(marker[5], "");
    EXPECT_EQ(marker[7], "K");
    EXPECT_EQ(marker[19], "") << "a line without an entry in the log";
    EXPECT_EQ(test::csvFields(lines[3])[13], "S");
    EXPECT_EQ(test::csvFields(lines[3])[20], "18:05:14");
    const QStringList counter = test::csvFields(lines[4]);
    EXPECT_EQ(counter[13], "Storno");
    EXPECT_EQ(counter[5], "-119,00");
    EXPECT_EQ(counter[4], "Toner ?");
    EXPECT_EQ(counter[16], "");

    // Only the days of the period; the settings without the password; every log entry.
    const QStringList days = rowsOf(folder, "Tage.csv");
    ASSERT_EQ(days.size(), 3);
    EXPECT_EQ(test::csvFields(days[1])[1], "02.01.2024");
    EXPECT_EQ(test::csvFields(days[2])[1], "15.01.2024");
    const QByteArray settings = readAll(folder + "/Einstellungen.csv");
    EXPECT_FALSE(settings.contains("4142"));
    EXPECT_EQ(test::csvFields(fromCp1252(settings.split('\r')[1].mid(1))).last(), "ja");
    const QStringList log = rowsOf(folder, "Protokoll.csv");
    ASSERT_EQ(log.size(), 5);
    EXPECT_EQ(test::csvFields(log[4]).last(), "00ff" + QString(60, '0'));

    // The description names its DTD, which lies beside it as the program carries it.
    const QByteArray xml = readAll(folder + "/index.xml");
    EXPECT_TRUE(xml.contains("<!DOCTYPE DataSet SYSTEM \"gdpdu-01-08-2002.dtd\">"));
    EXPECT_TRUE(xml.contains("<RecordDelimiter>&#13;&#10;</RecordDelimiter>"));
    EXPECT_EQ(readAll(folder + "/gdpdu-01-08-2002.dtd"),
              readAll(TB_SOURCE "/tillbook/ops/reports/gdpdu-01-08-2002.dtd"));

    const QString hints = fromCp1252(readAll(folder + "/Hinweise.txt"));
    EXPECT_TRUE(hints.contains("Zeitraum 01.01.2024 bis 31.12.2024")) << hints.toStdString();
    EXPECT_TRUE(hints.contains("Erstellt am 04.03.2025 um 09:15:00 mit Tillbook, Version "));
    EXPECT_TRUE(hints.contains("Änderungsprotokoll: 4 Einträge, letzter Eintrag Nr. 4, seine "
                               "Prüfsumme (SHA-256):\r\n00ff" +
                               QString(60, '0')));
    EXPECT_TRUE(hints.contains("Buchungen.csv – ") && hints.contains(": 5 Zeilen."));

    EXPECT_EQ(dialogs.last().icon, Icon::Information);
    EXPECT_EQ(dialogs.last().text,
              "Der Export für die Betriebsprüfung wurde in den Ordner\n" + folder +
                  "\ngeschrieben:\n\nBuchungen.csv (5 Zeilen)\nTage.csv (2 Zeilen)\n"
                  "Buchungstexte.csv (1 Zeile)\nEinstellungen.csv (1 Zeile)\nProtokoll.csv (4 "
                  "Zeilen)\nindex.xml, gdpdu-01-08-2002.dtd, Hinweise.txt\n\nGeben Sie dem "
                  "Prüfer den ganzen Ordner.\n\nDiese Zeichen kennt der Zeichensatz "
                  "Windows-1252 nicht; in den Dateien steht dafür „?“: Ω");

    // The description is valid after the DTD.
    const QString xmllint = QStandardPaths::findExecutable("xmllint");
    if (xmllint.isEmpty())
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(xmllint, {"--noout", "--valid", "index.xml"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardError(), "");

    // A second export of the same period takes a name of its own; the first stays.
    const QByteArray before = readAll(folder + "/Buchungen.csv");
    ASSERT_EQ(run(e), AuditorExport::Outcome::Written);
    EXPECT_EQ(e.written(), folder + "-2");
    EXPECT_EQ(readAll(folder + "/Buchungen.csv"), before);
}

// A book without the change log has no log file and no entry times; kept till counts are
// exported when the book has them, described by their own columns when their table has
// another shape than the program's.
TEST_F(Auditor, TheTablesFollowTheBook) {
    withoutLogAndCounts(book.db());
    line("02.01.2024", "Bareinnahme", "", "5,00", "", "1");
    ASSERT_TRUE(book.db().exec(
        "CREATE TABLE Zaehlungen (ID INTEGER PRIMARY KEY AUTOINCREMENT, Zeit TEXT, Tag TEXT, "
        "Anzahl1 TEXT, Anzahl2 TEXT, Anzahl3 TEXT, Anzahl4 TEXT, Anzahl5 TEXT, Anzahl6 TEXT, "
        "Anzahl7 TEXT, Anzahl8 TEXT, Anzahl9 TEXT, Anzahl10 TEXT, Anzahl11 TEXT, Anzahl12 TEXT, "
        "Anzahl13 TEXT, Anzahl14 TEXT, Anzahl15 TEXT, Gezaehlt TEXT, Buchbestand TEXT, Differenz "
        "TEXT); INSERT INTO Zaehlungen (Zeit, Tag, Anzahl1, Anzahl15, Gezaehlt, Buchbestand, "
        "Differenz) VALUES ('02.01.2024 18:02', '02.01.2024', '1', '3', '500,03', '503,23', "
        "'-3,20');"));
    AuditorExport e(book.db(), dialogs, clock);
    ASSERT_EQ(run(e), AuditorExport::Outcome::Written) << dialogs.last().text.toStdString();
    QStringList read;
    EXPECT_EQ(checkExport(e.written(), &read), QStringList());
    EXPECT_EQ(read, QStringList({"Buchungen.csv", "Tage.csv", "Buchungstexte.csv",
                                 "Einstellungen.csv", "Zaehlungen.csv"}));
    const QStringList counts = rowsOf(e.written(), "Zaehlungen.csv");
    ASSERT_EQ(counts.size(), 2);
    const QStringList names = test::csvFields(counts[0]);
    EXPECT_EQ(names.mid(3, 1) + names.mid(17),
              QStringList({"Anzahl 500", "Anzahl 0,01", "Gezählt", "Buchbestand", "Differenz"}));
    EXPECT_EQ(test::csvFields(counts[1]).mid(17), QStringList({"3", "500,03", "503,23", "-3,20"}));
    EXPECT_EQ(test::csvFields(rowsOf(e.written(), "Buchungen.csv")[1])[19], "");
    EXPECT_TRUE(fromCp1252(readAll(e.written() + "/Hinweise.txt"))
                    .contains("Dieses Kassenbuch führt kein Änderungsprotokoll."));

    test::TempBook other;
    withoutLogAndCounts(other.db());
    ASSERT_TRUE(other.db().exec("CREATE TABLE Zaehlungen (ID INTEGER PRIMARY KEY, Gezaehlt TEXT); "
                                "INSERT INTO Zaehlungen (Gezaehlt) VALUES ('1,00');"));
    AuditorExport o(other.db(), dialogs, clock);
    ASSERT_EQ(o.writeInto(other.folder(), "01.01.2024", "31.12.2024"),
              AuditorExport::Outcome::Written);
    EXPECT_EQ(checkExport(o.written()), QStringList());
    EXPECT_EQ(rowsOf(o.written(), "Zaehlungen.csv"),
              QStringList({"\"ID\";\"Gezaehlt\"", "1;\"1,00\""}));
}

namespace {
struct StopAtOnce : Progress {
    bool step(qint64) override { return false; }
};
} // namespace

// The export is whole or not there: a stop and a full disk leave the chosen folder as it was,
// and the half export a crash left is gone.
TEST_F(Auditor, WrittenWholeOrNotAtAll) {
    book.db().exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO Buchungen (a1, n1, n2, a4, a6, a8, a10) SELECT '', 'Bareinnahme', "
        "'eine Bemerkung, damit die Datei groß wird', '12,50', '19', i, '10.03.2024' FROM n;");
    const QString crashed = out.path() + "/Betriebspruefung_20240101_20241231.tmp-export";
    QDir().mkpath(crashed);
    QFile(crashed + "/Buchungen.csv").open(QIODevice::WriteOnly);
    {
        StopAtOnce stop;
        AuditorExport e(book.db(), dialogs, clock, &stop);
        EXPECT_EQ(run(e), AuditorExport::Outcome::Cancelled);
        EXPECT_EQ(dialogs.last().text, "Der Export für die Betriebsprüfung wurde abgebrochen. Es "
                                       "wurde nichts geschrieben.");
        EXPECT_TRUE(
            QDir(out.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString disk = out.path() + "/stick";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    AuditorExport e(book.db(), dialogs, clock);
    const AuditorExport::Outcome full = e.writeInto(disk, "01.01.2024", "31.12.2024");
    const QStringList left =
        QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    umount(QFile::encodeName(disk).constData());
    EXPECT_EQ(full, AuditorExport::Outcome::Failed);
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    EXPECT_EQ(dialogs.last().text.toStdString(),
              "Der Export für die Betriebsprüfung konnte nicht geschrieben werden: Der "
              "Datenträger ist voll. (No space left on device)\n\nEs wurde nichts geschrieben; "
              "was im Ordner schon lag, ist unverändert.");
    EXPECT_EQ(left, QStringList());
}

TEST(AuditorAsAnotherUser, AFolderThatMayNotBeWrittenIsToldAndLeftAlone) {
    if (!test::canTestPermissions())
        GTEST_SKIP() << "no way to run as an unprivileged user here";
    test::UserFolder user;
    const QString book = user.path() + "/Tillbook.kas";
    {
        ASSERT_TRUE(cashfile::createEmpty(book));
        auto db = Database::open(book, {});
        db->exec("INSERT INTO Buchungen (a1, n1, a4, a6, a8, a10) VALUES ('', 'Bareinnahme', "
                 "'5,00', '19', '1', '02.01.2024');");
    }
    user.own(book);
    const QString locked = user.path() + "/gesperrt";
    QDir().mkpath(locked);
    if (geteuid() != 0)
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    const test::ToolRun r = test::runTool(TB_TOOL, {"auditor-export", book, locked}, user.path());
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_EQ(r.messages.last().toStdString(),
              "Export für die Betriebsprüfung\tDer Export für die Betriebsprüfung konnte nicht "
              "geschrieben werden: Zugriff verweigert: Es fehlt die Berechtigung. (Permission "
              "denied)\\n\\nEs wurde nichts geschrieben; was im Ordner schon lag, ist "
              "unverändert.");
    EXPECT_TRUE(QDir(locked).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// A book as the program makes it today, its log and its counts table included: every file is
// described and matches its description.
TEST_F(Auditor, ABookAsTheProgramMakesItIsExportedWhole) {
    book.addDay("02.01.2024");
    line("02.01.2024", "Bareinnahme", "", "5,00", "", "1");
    AuditorExport e(book.db(), dialogs, clock);
    ASSERT_EQ(run(e), AuditorExport::Outcome::Written) << dialogs.last().text.toStdString();
    QStringList read;
    EXPECT_EQ(checkExport(e.written(), &read), QStringList());
    EXPECT_TRUE(read.contains("Protokoll.csv"));
    EXPECT_TRUE(read.contains("Zaehlungen.csv"));
    EXPECT_GE(rowsOf(e.written(), "Protokoll.csv").size(), 3); // names, the start, the line
}
