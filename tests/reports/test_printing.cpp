// The printouts on paper: the printer choice, a PDF through the "PDF-Datei" entry, and the
// whole way through a real print system (a private cupsd with a cups-pdf queue).
#include "activate.h"
#include "drucker_waehlen.h"
#include "haupt.h"
#include "print_layout.h"
#include "printing.h"
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

std::vector<PrintRow> rows(int n) {
    std::vector<PrintRow> out;
    for (int i = 0; i < n; ++i)
        out.push_back({"01.03.2024", QString::number(i + 1), "Bareinnahme", "", "", "", "1234,56",
                       "", "0,00"});
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

PrintDocument twoPages() {
    ListingState s;
    s.kind = ListingKind::Tag;
    s.dayDate = "01.03.2024";
    PrintSettings settings;
    settings.currency = "EUR";
    settings.rate1 = "19";
    settings.rate2 = "7";
    Money b;
    return cashBookPages(rows(40), s, settings, b);
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
};
} // namespace

TEST_F(Main, NothingListedNothingPrintedTwoCopiesTwoJobs) {
    book.addDay("01.03.2024");
    start();
    w->printCashBook();
    EXPECT_EQ(dialogs.last().text, "Keine Daten vorhanden");
    EXPECT_TRUE(dialogs.copiesOffered.empty());
    for (int i = 0; i < 3; ++i)
        book.addLine("01.03.2024", "10,00", "");
    w->chooseDayRow(0);
    scheduler.advance(2000);
    Printing::currentPrinter() = Printing::pdfEntry();
    const QString pdf = book.folder() + "/Druck.pdf";
    dialogs.printerAnswers = {{{}, 2}};
    dialogs.files = {pdf};
    w->printCashBook();
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
    w->printCashBook();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(Main, TheCountingProtocolIsOnePortraitPage) {
    book.addDay("01.03.2024");
    start();
    Printing::currentPrinter() = Printing::pdfEntry();
    const QString pdf = book.folder() + "/Protokoll.pdf";
    dialogs.printerAnswers = {{{}, 0}}; // cancelled: one copy all the same
    dialogs.files = {pdf};
    w->tillCountField(1)->setText("3");
    w->printProtocol();
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

// The whole way through a print system: QPrinter, cupsd, the cups-pdf backend, a PDF file.
TEST(PrintThroughCups, TwoPagesReachTheQueue) {
    const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin", "/sbin"});
    if (cupsd.isEmpty() || geteuid() != 0 || !QFile::exists("/usr/lib/cups/backend/cups-pdf"))
        GTEST_SKIP() << "cupsd with the cups-pdf backend runs only as root with cups and "
                        "printer-driver-cups-pdf installed";
    QTemporaryDir dir("/tmp/tb-cups-XXXXXX");
    const QString root = dir.path();
    for (const char* d : {"/etc/ppd", "/spool", "/tmp", "/cache", "/log", "/run"})
        QDir().mkpath(root + d);
    // The filters run as the unprivileged user "lp": the folders must let them in, and the
    // temporary folder take their files.
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
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
    QProcess daemon;
    daemon.start(cupsd,
                 {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
    ASSERT_TRUE(daemon.waitForStarted());
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(socket) && wait.elapsed() < 10000)
        QTest::qWait(50);
    ASSERT_TRUE(QFile::exists(socket)) << "cupsd did not start";
    // The print system of this test only; set before the first use of the printers in this
    // process (the test runs as a process of its own).
    qputenv("CUPS_SERVER", socket.toUtf8());
    QProcess admin;
    // pdftocairo turns the job into PostScript for the backend with its text kept, so what
    // arrives can be read back word by word.
    admin.start("lpadmin",
                {"-p", "PDF", "-E", "-v", "cups-pdf:/", "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd",
                 "-o", "PageSize=a4", "-o", "pdftops-renderer-default=pdftocairo"});
    admin.waitForFinished(20000);
    ASSERT_EQ(admin.exitCode(), 0) << admin.readAllStandardError().toStdString();

    ASSERT_TRUE(Printing::printers().contains("PDF"));
    const QString job = QStringLiteral("tbdruck%1").arg(getpid());
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    QString why;
    ASSERT_TRUE(Printing::print(twoPages(), "PDF", {}, job, &why)) << why.toStdString();
    // cups-pdf writes into the PDF folder of the user the job belongs to, the file named after
    // the job.
    const QString out = QString::fromLocal8Bit(getpwuid(geteuid())->pw_dir) + "/PDF";
    QString pdf;
    wait.restart();
    while (pdf.isEmpty() && wait.elapsed() < 60000) {
        for (const QFileInfo& f : QDir(out).entryInfoList({"*.pdf"}, QDir::Files, QDir::Time))
            if (f.lastModified() >= started && f.size() > 0)
                pdf = f.filePath();
        if (pdf.isEmpty())
            QTest::qWait(200);
    }
    daemon.terminate();
    daemon.waitForFinished(5000);
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF from the queue in " << out.toStdString();
    QTest::qWait(500); // the backend closes the file
    checkTwoPages(pdf, 1.0);
    std::printf("printed through cupsd to %s\n", qPrintable(pdf));
}
