// The printouts on paper: the printer choice, a PDF through the "PDF-Datei" entry, and the
// whole way through a real print system (a private cupsd with a cups-pdf queue).
#include "activate.h"
#include "drucker_waehlen.h"
#include "haupt.h"
#include "picture_button.h"
#include "print_layout.h"
#include "printing.h"
#include "query_controller.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tb;

namespace {
// A word of a PDF as poppler places it, in millimetres.
struct Word {
    int page;
    QString text;
    double x0, y0, x1;
};

// A landscape page that a print system put on portrait paper, turned back: poppler then gives
// the boxes of the turned text, and the word that reads "Seite" tells which way it was turned.
std::vector<Word> wordsOf(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(30000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    struct Box {
        int page;
        QString text;
        double x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    int page = 0;
    bool portrait = false;
    static const QRegularExpression token(
        "<page width=\"([\\d.]+)\" height=\"([\\d.]+)\"|<word xMin=\"([\\d.]+)\" "
        "yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    const double mm = 25.4 / 72;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith("<page")) {
            ++page;
            portrait = m.captured(2).toDouble() > m.captured(1).toDouble();
            continue;
        }
        boxes.push_back({page, m.captured(7), m.captured(3).toDouble() * mm,
                         m.captured(4).toDouble() * mm, m.captured(5).toDouble() * mm,
                         m.captured(6).toDouble() * mm});
    }
    std::vector<Word> words;
    const bool turned = portrait && !boxes.empty() &&
                        boxes.front().y1 - boxes.front().y0 > boxes.front().x1 - boxes.front().x0;
    bool clockwise = true;
    for (const Box& b : boxes)
        if (b.text == "Seite")
            clockwise = std::abs(b.x0 - 10) < std::abs(210 - b.x1 - 10);
    for (const Box& b : boxes) {
        if (!turned)
            words.push_back({b.page, b.text, b.x0, b.y0, b.x1});
        else if (clockwise)
            words.push_back({b.page, b.text, 297 - b.y1, b.x0, 297 - b.y0});
        else
            words.push_back({b.page, b.text, b.y0, 210 - b.x1, b.y1});
    }
    return words;
}

// Words of a page that one prints over another: on the same line, one starting before the
// other ends.
QStringList overprinted(const std::vector<Word>& words) {
    QStringList out;
    for (size_t i = 0; i < words.size(); ++i)
        for (size_t k = 0; k < words.size(); ++k) {
            const Word& a = words[i];
            const Word& b = words[k];
            if (i != k && a.page == b.page && std::abs(a.y0 - b.y0) < 1 && a.x0 <= b.x0 &&
                b.x0 < a.x1 - 0.05)
                out << a.text + " / " + b.text;
        }
    return out;
}

std::vector<PrintRow> rows(int n) {
    std::vector<PrintRow> out;
    for (int i = 0; i < n; ++i)
        out.push_back({"01.03.2024", QString::number(i + 1), "Bareinnahme", "", "", "", "1234,56",
                       "", Money()});
    return out;
}

// What a two-page cash book must look like on paper. topTolerance: poppler gives the box of a
// word turned by a print system from its glyphs, a little below the font's ascent line.
void checkTwoPages(const QString& pdf, double topTolerance = 0.5) {
    const std::vector<Word> words = wordsOf(pdf);
    ASSERT_FALSE(words.empty()) << "no text in " << pdf.toStdString();
    int pages = 0;
    bool seite2 = false;
    double firstRow = -1;
    double amountEnd = -1;
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& w = words[i];
        pages = std::max(pages, w.page);
        if (w.text == "Seite" && i + 1 < words.size() && words[i + 1].text == "2")
            seite2 = w.page == 2;
        if (w.page == 1 && w.text == "01.03.2024" && std::abs(w.x0 - 14) < 1 && firstRow < 0)
            firstRow = w.y0;
        if (w.page == 1 && w.text == "1234,56" && amountEnd < 0)
            amountEnd = i + 1 < words.size() ? words[i + 1].x1 : -1; // "EUR" ends the amount
    }
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(seite2);
    EXPECT_NEAR(firstRow, 35, topTolerance);
    EXPECT_NEAR(amountEnd, 215, 0.5);
}

PrintDocument cashBook(int rowCount) {
    ListingState s;
    s.kind = ListingKind::Tag;
    s.dayDate = "01.03.2024";
    PrintSettings settings;
    settings.currency = "EUR";
    settings.rate1 = "19";
    settings.rate2 = "7";
    return cashBookPages(rows(rowCount), s, settings);
}

PrintDocument twoPages() {
    return cashBook(40);
}
} // namespace

TEST(PrinterChoiceWindow, CopiesPrintersEnterEscape) {
    test::ScriptedDialogs dialogs;
    QString current = "Zweiter";
    {
        Drucker_waehlen w(dialogs, {"Erster", "Zweiter", Printing::pdfEntry()}, current, 0);
        EXPECT_EQ(w.windowTitle(), " Drucker wählen");
        EXPECT_EQ(w.printerList()->currentText(), "Zweiter");
        EXPECT_EQ(w.copiesField()->text(), "1"); // opened at 0: shows 1
        w.show();
        test::activate(&w);
        w.copiesField()->clear();
        QTest::keyClicks(w.copiesField(), "2a.7");
        EXPECT_EQ(dialogs.last().text, "Falsche Eingabe !      nur Zahlenwerte erlaubt");
        EXPECT_EQ(w.copiesField()->text(), "2.7");
        QTest::keyClick(w.copiesField(), Qt::Key_Return);
        EXPECT_EQ(w.copies(), 3);
        EXPECT_FALSE(w.isVisible());
    }
    {
        Drucker_waehlen w(dialogs, {"Erster", "Zweiter", Printing::pdfEntry()}, current, 2);
        w.show();
        w.printerList()->setCurrentIndex(0);
        QTest::keyClick(w.copiesField(), Qt::Key_Escape);
        EXPECT_EQ(w.copies(), 0);
        EXPECT_EQ(current, "Erster"); // chosen, then cancelled: still the current printer
    }
    Drucker_waehlen w(dialogs, {"Erster", Printing::pdfEntry()}, current, 4);
    EXPECT_EQ(w.copiesField()->text(), "4");
    w.cancelButton()->click();
    EXPECT_EQ(w.copies(), 0);
}

// The printer shown selected is the one printed to, also when the current one has gone; more
// copies than a printout takes are refused and the window stays open.
TEST(PrinterChoiceWindow, TheEntryShownIsUsedAndTooManyCopiesAreRefused) {
    test::ScriptedDialogs dialogs;
    QString current = "PDF"; // gone from the system since it was chosen
    Drucker_waehlen w(dialogs, {Printing::pdfEntry()}, current, 1);
    EXPECT_EQ(w.printerList()->currentText(), Printing::pdfEntry());
    EXPECT_EQ(current, Printing::pdfEntry());
    w.show();
    test::activate(&w);
    w.copiesField()->setText("1000");
    QTest::keyClick(w.copiesField(), Qt::Key_Return);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.last().text, "Es können höchstens 999 Kopien auf einmal gedruckt werden.");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.copiesField()->selectedText(), "1000");
    w.copiesField()->setText("999");
    w.okButton()->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.copies(), 999);
}

// The highlight frame of the picture buttons: one crisp pixel in its own colour around the fill.
TEST(PictureButtonFrame, TheBorderIsOnePixelInItsColour) {
    PictureButton b(PictureButton::Picture::Printer, "Drucken");
    b.resize(40, 36);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    ASSERT_TRUE(b.highlighted());
    const QImage img = b.grab().toImage();
    const QColor border(75, 207, 201), fill(215, 235, 255);
    auto colour = [&](int x, int y) { return img.pixelColor(x, y).name().toStdString(); };
    for (const QPoint& at : {QPoint(1, 18), QPoint(38, 18), QPoint(20, 1), QPoint(20, 34)})
        EXPECT_EQ(colour(at.x(), at.y()), border.name().toStdString()) << at.x() << "," << at.y();
    for (const QPoint& at : {QPoint(2, 18), QPoint(37, 18), QPoint(20, 2), QPoint(20, 33)})
        EXPECT_EQ(colour(at.x(), at.y()), fill.name().toStdString()) << at.x() << "," << at.y();
    EXPECT_NE(colour(0, 18), border.name().toStdString());
}

TEST(PrintToPdf, TheEntryWritesAPdfWithTheLayoutsPositions) {
    QTemporaryDir dir;
    const QString pdf = dir.path() + "/Kassenbuch vom 01.03.2024.pdf";
    QString why;
    ASSERT_TRUE(Printing::print(twoPages(), Printing::pdfEntry(), pdf, "Kassenbuch", &why))
        << why.toStdString();
    checkTwoPages(pdf);
    // No printer at all: the PDF entry is there all the same.
    EXPECT_TRUE(Printing::printers().contains(Printing::pdfEntry()));
    EXPECT_FALSE(Printing::print(twoPages(), "Gibt es nicht", {}, "x", &why));
    EXPECT_TRUE(why.contains("Gibt es nicht"));
}

// Wide text is cut where the next column begins, measured in the printed font: capitals
// before a tax figure, and a whole remark (no tax printed) before the receipts.
TEST(PrintToPdf, NoTextIsPrintedOverAFigure) {
    PrintRow capitals{
        "05.03.2024", "12",   "WARENLIEFERUNG KW 10", "WARENLIEFERUNG KW 10", "-197,11", "0,00", "",
        "1234,56",    Money()};
    PrintRow remark{"05.03.2024",
                    "13",
                    "Wareneinkauf",
                    "Lieferung Getränke und Leergut Rückgabe Kiste 24 Flaschen",
                    "",
                    "",
                    "1234,56",
                    "",
                    Money()};
    ListingState s;
    s.dayDate = "05.03.2024";
    PrintSettings settings;
    settings.currency = "EUR";
    settings.rate1 = "19";
    settings.rate2 = "7";
    QTemporaryDir dir;
    for (bool noTax : {false, true}) {
        settings.noTax = noTax;
        const QString pdf = dir.path() + QString("/cut%1.pdf").arg(noTax);
        QString why;
        ASSERT_TRUE(Printing::print(cashBookPages({capitals, remark}, s, settings),
                                    Printing::pdfEntry(), pdf, "Kassenbuch", &why))
            << why.toStdString();
        const std::vector<Word> words = wordsOf(pdf);
        EXPECT_EQ(overprinted(words).join(", ").toStdString(), "") << "noTax " << noTax;
        bool tax = false, receipt = false, cut = false;
        for (const Word& w : words) {
            tax = tax || w.text == "-197,11";
            receipt = receipt || (w.text == "1234,56" && std::abs(w.y0 - 40) < 0.6);
            cut = cut || w.text.endsWith(QChar(0x2026)); // the ellipsis marks a cut text
        }
        EXPECT_EQ(tax, !noTax);
        EXPECT_TRUE(receipt);
        EXPECT_TRUE(cut);
    }
}

// A PDF that cannot be written whole (the disk is full) is not left under its name, and the
// operator is told.
TEST(PrintToPdf, AFullDiskLeavesNothingUnderTheName) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    QTemporaryDir dir;
    const QString disk = dir.path() + "/stick";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const QString pdf = disk + "/Kassenbuch.pdf";
    QString why;
    // Ten pages take more than the disk holds.
    const bool printed =
        Printing::print(cashBook(300), Printing::pdfEntry(), pdf, "Kassenbuch", &why);
    const QStringList left = QDir(disk).entryList(QDir::Files | QDir::Hidden);
    umount(QFile::encodeName(disk).constData());
    EXPECT_FALSE(printed);
    EXPECT_TRUE(why.startsWith("Die PDF-Datei „" + pdf + "“ konnte nicht geschrieben werden: "))
        << why.toStdString();
    EXPECT_EQ(left.join(", ").toStdString(), "");
}

namespace {
struct Main : ::testing::Test {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 1), QTime(10, 0))};
    ManualScheduler scheduler;
    SettingsStore store;
    std::unique_ptr<Haupt> w;
    void start() {
        store.save("Startup", "Datenpfad", book.path());
        w = std::make_unique<Haupt>(
            HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path()});
        w->show();
        w->activate();
        scheduler.advance(2000);
    }
    // Started on the newest day.
    void startOnDay() {
        start();
        w->dayList().chooseRow(0);
        scheduler.advance(2000);
    }
    // The cash book into the PDF file pdf, so many copies.
    void printCashBookTo(const QString& pdf, int copies) {
        Printing::currentPrinter() = Printing::pdfEntry();
        dialogs.printerAnswers = {{{}, copies}};
        dialogs.files = {pdf};
        w->queries().printCashBook();
    }
};
} // namespace

TEST_F(Main, NothingListedNothingPrintedTwoCopiesTwoJobs) {
    book.addDay("01.03.2024");
    start();
    w->queries().printCashBook();
    EXPECT_EQ(dialogs.last().text, "Keine Daten vorhanden");
    EXPECT_TRUE(dialogs.copiesOffered.empty());
    for (int i = 0; i < 3; ++i)
        book.addLine("01.03.2024", "10,00", "");
    w->dayList().chooseRow(0);
    scheduler.advance(2000);
    Printing::currentPrinter() = Printing::pdfEntry();
    const QString pdf = book.folder() + "/Druck.pdf";
    dialogs.printerAnswers = {{{}, 2}};
    dialogs.files = {pdf};
    w->queries().printCashBook();
    ASSERT_EQ(dialogs.copiesOffered.size(), 1u);
    EXPECT_EQ(dialogs.copiesOffered[0], 1);
    EXPECT_EQ(dialogs.fileDialogs.back().preset, book.folder() + "/Kassenbuch vom 01.03.2024.pdf");
    ASSERT_TRUE(QFile::exists(pdf));
    ASSERT_TRUE(QFile::exists(book.folder() + "/Druck (Kopie 2).pdf"));
    // Both jobs print the same; the title is that of the day listed when printing began, though
    // the printer choice's activation set the kind back.
    for (const QString& f : {pdf, book.folder() + "/Druck (Kopie 2).pdf"}) {
        bool titled = false;
        for (const Word& word : wordsOf(f))
            titled = titled || word.text == "01.03.2024";
        EXPECT_TRUE(titled) << f.toStdString();
    }
    // Cancelled: nothing.
    dialogs.printerAnswers = {{{}, 0}};
    QFile::remove(pdf);
    w->queries().printCashBook();
    EXPECT_FALSE(QFile::exists(pdf));
}

// A day that starts with a counter-entry: every copy prints the cash after each row, and the
// receipt-number heading is the configured caption.
TEST_F(Main, EveryCopyPrintsTheCashAfterEachRow) {
    book.addDay("01.03.2024");
    book.addDay("02.03.2024");
    book.addLine("01.03.2024", "840,00", "");
    book.addLine("02.03.2024", "-190,00", "", "STORNO  Bareinnahme", "");
    book.addLine("02.03.2024", "", "25,00", "Porto");
    book.setSetting("Einst14", "Bon-Nr.");
    startOnDay();
    const QString pdf = book.folder() + "/Tag.pdf";
    printCashBookTo(pdf, 2);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.last().text.toStdString();
    for (const QString& f : {pdf, book.folder() + "/Tag (Kopie 2).pdf"}) {
        // The balance column's figures, top to bottom: the carried-in line stands above them.
        QStringList balances;
        bool caption = false;
        const std::vector<Word> words = wordsOf(f);
        for (size_t i = 0; i + 1 < words.size(); ++i) {
            caption = caption || (words[i].text == "Bon-Nr." && std::abs(words[i].x1 - 51) < 0.5);
            if (words[i + 1].text == "EUR" && std::abs(words[i + 1].x1 - 285) < 0.5)
                balances << words[i].text;
        }
        EXPECT_EQ(balances, QStringList({"650,00", "625,00", "625,00"})) << f.toStdString();
        EXPECT_TRUE(caption) << f.toStdString();
    }
}

// A printout that did not get through says whether nothing was printed or only part of it.
TEST_F(Main, AFailedPrintoutSaysHowMuchWasPrinted) {
    book.addDay("01.03.2024");
    book.addLine("01.03.2024", "10,00", "");
    startOnDay();
    const QString missing = book.folder() + "/fehlt/Druck.pdf";
    printCashBookTo(missing, 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Der Ausdruck ist nicht gedruckt worden:\nDie PDF-Datei „" + missing + "“"))
        << dialogs.last().text.toStdString();
    EXPECT_EQ(dialogs.last().title, "Drucken");

    // The second copy's name is taken by a folder: one of two copies printed.
    const QString pdf = book.folder() + "/Druck.pdf";
    QDir().mkpath(book.folder() + "/Druck (Kopie 2).pdf");
    printCashBookTo(pdf, 2);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.last().text.startsWith("Der Ausdruck ist nicht vollständig gedruckt "
                                               "worden (gedruckt: 1 von 2 Kopien):\n"))
        << dialogs.last().text.toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST_F(Main, TheCountingProtocolIsOnePortraitPage) {
    book.addDay("01.03.2024");
    start();
    Printing::currentPrinter() = Printing::pdfEntry();
    const QString pdf = book.folder() + "/Protokoll.pdf";
    dialogs.printerAnswers = {{{}, 0}}; // cancelled: one copy all the same
    dialogs.files = {pdf};
    w->findChild<QLineEdit*>("Text2_1")->setText("3");
    w->findChild<QPushButton*>("Command16")->click();
    ASSERT_TRUE(QFile::exists(pdf));
    QProcess info;
    info.start("pdfinfo", {pdf});
    info.waitForFinished();
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QRegularExpression("Pages:\\s+1\\n")));
    EXPECT_TRUE(out.contains("595 x 842")); // A4 portrait
    bool total = false;
    for (const Word& word : wordsOf(pdf))
        total = total || (word.text == "1500,00" && std::abs(word.y0 - 40) < 0.5);
    EXPECT_TRUE(total);
}

namespace {
// A print system of this test only: a private cupsd on a socket of its own, with queues that
// write PDF files through cups-pdf. It must run before the first use of the printers in the
// process (every test runs as a process of its own).
class PrivateCups {
  public:
    // Empty when it runs; otherwise why it cannot (skip) or did not start (fail).
    QString skipReason, failure;

    PrivateCups() {
        const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin", "/sbin"});
        if (cupsd.isEmpty() || geteuid() != 0 || !QFile::exists("/usr/lib/cups/backend/cups-pdf")) {
            skipReason = "cupsd with the cups-pdf backend runs only as root with cups and "
                         "printer-driver-cups-pdf installed";
            return;
        }
        const QString root = dir_.path();
        for (const char* d : {"/etc/ppd", "/spool", "/tmp", "/cache", "/log", "/run"})
            QDir().mkpath(root + d);
        // The filters run as the unprivileged user "lp": the folders must let them in, and the
        // temporary folder take their files.
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(root, open);
        ::chmod(QFile::encodeName(root + "/tmp").constData(), 01777);
        auto write = [](const QString& path, const QString& text) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(text.toUtf8());
        };
        const QString socket = root + "/run/cups.sock";
        write(root + "/etc/cupsd.conf", "Listen " + socket +
                                            "\nLogLevel warn\nWebInterface No\n<Location />\n"
                                            "  Order allow,deny\n  Allow all\n</Location>\n");
        write(root + "/etc/cups-files.conf",
              "ServerRoot " + root + "/etc\nRequestRoot " + root + "/spool\nCacheDir " + root +
                  "/cache\nStateDir " + root + "/run\nTempDir " + root + "/tmp\nErrorLog " + root +
                  "/log/error_log\nAccessLog " + root + "/log/access_log\nPageLog " + root +
                  "/log/page_log\nSystemGroup root\n");
        daemon_.start(cupsd,
                      {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        QElapsedTimer wait;
        wait.start();
        while (daemon_.waitForStarted() && !QFile::exists(socket) && wait.elapsed() < 10000)
            QTest::qWait(50);
        if (!QFile::exists(socket)) {
            failure = "cupsd did not start";
            return;
        }
        qputenv("CUPS_SERVER", socket.toUtf8());
    }
    ~PrivateCups() {
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    // A cups-pdf queue. pdftocairo turns the job into PostScript for the backend with its text
    // kept, so what arrives can be read back word by word. A refusing queue is there and enabled
    // but takes no jobs (as after cupsreject).
    bool addQueue(const QString& name, bool refusing = false) {
        if (!run("lpadmin",
                 {"-p", name, "-E", "-v", "cups-pdf:/", "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd",
                  "-o", "PageSize=a4", "-o", "pdftops-renderer-default=pdftocairo"}))
            return false;
        return !refusing || run("cupsreject", {"-r", "Wartung", name});
    }

  private:
    bool run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(20000);
        if (p.exitCode() != 0)
            failure = program + ": " + QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode() == 0;
    }
    QTemporaryDir dir_{"/tmp/tb-cups-XXXXXX"};
    QProcess daemon_;
};
} // namespace

#define START_PRIVATE_CUPS(cups)                                                                   \
    PrivateCups cups;                                                                              \
    if (!cups.skipReason.isEmpty())                                                                \
        GTEST_SKIP() << cups.skipReason.toStdString();                                             \
    ASSERT_TRUE(cups.failure.isEmpty()) << cups.failure.toStdString()

// The whole way through a print system: the printout, cupsd, the cups-pdf backend, a PDF file.
TEST(PrintThroughCups, TwoPagesReachTheQueue) {
    START_PRIVATE_CUPS(cups);
    ASSERT_TRUE(cups.addQueue("PDF")) << cups.failure.toStdString();
    ASSERT_TRUE(Printing::printers().contains("PDF"));
    const QString job = QStringLiteral("tbdruck%1").arg(getpid());
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    QString why;
    ASSERT_TRUE(Printing::print(twoPages(), "PDF", {}, job, &why)) << why.toStdString();
    // cups-pdf writes into the PDF folder of the user the job belongs to, the file named after
    // the job.
    const QString out = QString::fromLocal8Bit(getpwuid(geteuid())->pw_dir) + "/PDF";
    QString pdf;
    QElapsedTimer wait;
    wait.start();
    while (pdf.isEmpty() && wait.elapsed() < 60000) {
        for (const QFileInfo& f : QDir(out).entryInfoList({"*.pdf"}, QDir::Files, QDir::Time))
            if (f.lastModified() >= started && f.size() > 0 && f.fileName().contains(job))
                pdf = f.filePath();
        if (pdf.isEmpty())
            QTest::qWait(200);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF from the queue in " << out.toStdString();
    QTest::qWait(500); // the backend closes the file
    checkTwoPages(pdf, 1.0);
    std::printf("printed through cupsd to %s\n", qPrintable(pdf));
}

// A queue that takes no jobs loses no printout without a word: the cash book and the counting
// protocol both tell the operator, and no job is made.
TEST_F(Main, AQueueThatRefusesJobsIsToldForBothPrintouts) {
    START_PRIVATE_CUPS(cups);
    ASSERT_TRUE(cups.addQueue("Abweisend", true)) << cups.failure.toStdString();
    ASSERT_TRUE(Printing::printers().contains("Abweisend"));
    book.addDay("01.03.2024");
    book.addLine("01.03.2024", "10,00", "");
    startOnDay();
    Printing::currentPrinter() = "Abweisend";
    const QString told = "Der Ausdruck ist nicht gedruckt worden:\nDer Drucker „Abweisend“ nimmt "
                         "zurzeit keine Druckaufträge an.";
    dialogs.printerAnswers = {{{}, 2}};
    w->queries().printCashBook();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.last().text, told);
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    dialogs.messages.clear();
    w->findChild<QPushButton*>("Command16")->click();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.last().text, told);
    QProcess jobs;
    jobs.start("lpstat", {"-W", "all", "-o", "Abweisend"});
    jobs.waitForFinished(10000);
    EXPECT_EQ(jobs.readAllStandardOutput(), QByteArray());
}
