// The window "Änderungsprotokoll", its printout and export, and the chain's head on the
// printed cash book.
#include "aenderungsprotokoll.h"
#include "cp1252.h"
#include "data_paths.h"
#include "log_fixture.h"
#include "trail_report.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace tb;
using changelog::Kind;

namespace {
struct Window : test::LogFixture {
    std::unique_ptr<Aenderungsprotokoll> window;
    struct Printed {
        PrintDocument doc;
        int copies = 0;
        QString name;
    };
    std::vector<Printed> printed;
    // Keeps what is printed.
    struct Recorder : DocumentPrinter {
        std::vector<Printed>& out;
        explicit Recorder(std::vector<Printed>& o) : out(o) {}
        bool print(const std::function<PrintDocument(int)>& doc, int copies,
                   const QString& name) override {
            out.push_back({doc(1), copies, name});
            return true;
        }
        bool printOne(const PrintDocument& doc, const QString& name) override {
            out.push_back({doc, 1, name});
            return true;
        }
    } printer{printed};

    void SetUp() override {
        LogFixture::SetUp();
        book().addDay("01.03.2024");
        book().addLine("01.03.2024", "12,50", "");
        clock.set(QDateTime(QDate(2024, 3, 4), QTime(11, 0)));
        book().addLine("01.03.2024", "", "3,00", "Porto");
        db().exec("UPDATE Buchungen SET n2 = 'nachgetragen' WHERE ID = 2;");
        window = std::make_unique<Aenderungsprotokoll>(db(), dialogs, book().path(), &printer);
        window->clock = &clock;
        window->workFolder = home.path() + "/cache";
        window->runner = runAtOnce<LogCheck>;
    }
    QStringList texts(const Page& page) {
        QStringList out;
        for (const PageText& t : page.texts)
            out << t.text;
        return out;
    }
};
} // namespace

TEST_F(Window, ListsTheLogNewestFirstAndFiltersByPeriodAndKind) {
    EXPECT_EQ(window->windowTitle(), "Änderungsprotokoll");
    QTableView* table = window->table();
    ASSERT_EQ(table->model()->rowCount(), 5);
    EXPECT_EQ(table->model()->headerData(6, Qt::Horizontal).toString(), "Änderung");
    EXPECT_EQ(window->rowText(0), "5 | 04.03.2024 11:00:00 | Zeile geändert | 2 | 1 | 01.03.2024 | "
                                  "Bemerkung: (leer) → nachgetragen");
    EXPECT_TRUE(window->rowText(4).startsWith("1 | 01.03.2024 09:30:15 | Protokoll begonnen "
                                              "(neues Kassenbuch) |"));
    EXPECT_EQ(window->status()->text(), "5 von 5 Einträgen angezeigt, letzte Prüfsumme " +
                                            AuditTrail::head(db()).shortHash());

    dialogs.dates = {QDate(2024, 3, 4)};
    window->chooseFrom();
    EXPECT_EQ(dialogs.dateTitles.back(), "Protokoll ab");
    EXPECT_EQ(window->fromButton()->text(), "von: 04.03.2024");
    EXPECT_EQ(window->toButton()->text(), "bis: heute");
    EXPECT_EQ(table->model()->rowCount(), 2);

    window->kindChoice()->setCurrentIndex(window->kindChoice()->findData(int(Kind::LineAdded)));
    emit window->kindChoice()->activated(window->kindChoice()->currentIndex());
    EXPECT_EQ(table->model()->rowCount(), 1);
    EXPECT_TRUE(window->rowText(0).contains("Buchungstext: Porto; Ausgabe: 3,00"));
    window->allTimes();
    EXPECT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(window->fromButton()->text(), "von: Anfang");
}

TEST_F(Window, PruefenSaysWhetherTheLogIsWhole) {
    window->checkButton()->click();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.last().title, "Änderungsprotokoll prüfen");
    EXPECT_EQ(dialogs.last().text, "Protokoll unversehrt: 5 Einträge, letzte Prüfsumme " +
                                       AuditTrail::head(db()).shortHash());
    EXPECT_EQ(dialogs.last().icon, Icon::Information);

    tamper("UPDATE Protokoll SET Vorher = 'n2=x' WHERE ID = 5;");
    window->check();
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Die Kette des Änderungsprotokolls ist nicht unversehrt:\n- Eintrag Nr. 5 passt nicht"))
        << dialogs.last().text.toStdString();
}

TEST_F(Window, PrintsThroughThePrinterChoiceAndExportsCsv) {
    dialogs.printerAnswers = {{QString(), 2}};
    window->printList();
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].copies, 2);
    EXPECT_EQ(printed[0].name, "Änderungsprotokoll.pdf");
    const PrintDocument& doc = printed[0].doc;
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_TRUE(doc.landscape);
    const QStringList page = texts(doc.pages[0]);
    EXPECT_EQ(page[0], "Änderungsprotokoll");
    EXPECT_TRUE(page.contains("Zeile geändert"));
    EXPECT_TRUE(page.contains("Bemerkung: (leer) → nachgetragen"));
    EXPECT_TRUE(page.contains(AuditTrail::head(db()).footer()));
    EXPECT_TRUE(page.contains("Prüfsumme des letzten Eintrags (Nr. 5): " +
                              QString::fromLatin1(AuditTrail::head(db()).hash.toHex())));

    // Cancelled in the printer choice: nothing is printed.
    dialogs.printerAnswers = {{QString(), 0}};
    window->printList();
    EXPECT_EQ(printed.size(), 1u);

    const QString file = home.path() + "/protokoll.csv";
    dialogs.files = {file};
    window->exportCsv();
    EXPECT_EQ(dialogs.fileDialogs.back().preset,
              paths::folderOf(book().path()) + "Änderungsprotokoll.csv");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = fromCp1252(f.readAll()).split("\r\n");
    EXPECT_EQ(lines[0], "Nr.;Zeitpunkt;Art;Anlass;Zeile/Tag;Beleg;Datum;vorher;nachher;Prüfsumme");
    // As listed: newest first.
    EXPECT_TRUE(lines[1].startsWith("5;04.03.2024 11:00:00;Zeile geändert;;2;1;01.03.2024;"
                                    "Bemerkung: ;Bemerkung: nachgetragen;"))
        << lines[1].toStdString();
}

TEST_F(Window, LongChangesWrapOnThePrintoutAndPagesBreak) {
    const QStringList w = TrailReport::wrapped(
        QString("Text: ") + QString(40, 'x') + "; Bemerkung: " + QString(30, 'y'), 50);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], "Text: " + QString(40, 'x') + ";");
    EXPECT_EQ(w[1], "Bemerkung: " + QString(30, 'y'));
    std::vector<LogEntry> many(120, AuditTrail::read(db(), {}).back());
    const PrintDocument doc = TrailReport::pages(many, "Änderungsprotokoll", {});
    EXPECT_GT(doc.pages.size(), 3u);
    for (const Page& p : doc.pages)
        for (const PageText& t : p.texts)
            EXPECT_LE(t.y, 197.0);
}

TEST_F(Window, ThePrintedCashBookCarriesTheHeadOnEveryPage) {
    PrintSettings s;
    s.currency = "EUR";
    s.logFooter = AuditTrail::head(db()).footer();
    std::vector<PrintRow> rows(80, PrintRow{"01.03.2024", "1", "Bareinnahme", "", "", "", "1,00",
                                            "", Money::fromCents(100)});
    ListingState listing;
    listing.kind = ListingKind::Auswahl;
    const PrintDocument doc = cashBookPages(rows, listing, s);
    ASSERT_GT(doc.pages.size(), 1u);
    for (const Page& p : doc.pages)
        EXPECT_TRUE(texts(p).contains("Änderungsprotokoll: 5 Einträge, letzte Prüfsumme " +
                                      AuditTrail::head(db()).shortHash()));
}
