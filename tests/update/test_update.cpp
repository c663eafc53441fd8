#include "cash_file.h"
#include "data_paths.h"
#include "desktop_double.h"
#include "haupt.h"
#include "http_fetch.h"
#include "info.h"
#include "manual.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "version_check.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <signal.h>

using namespace tb;

namespace {
// A web server on the loopback interface that answers every request with one text, or never.
class LocalServer {
  public:
    explicit LocalServer(QByteArray body, bool answer = true) : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this, answer] {
            QTcpSocket* s = server_.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, [this, s, answer] {
                const QByteArray request = s->readAll();
                requests << request;
                if (!answer)
                    return; // a server that hangs
                s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                         QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" +
                         body_);
                s->disconnectFromHost();
            });
        });
        qputenv("TILLBOOK_UPDATE_URL", url().toUtf8());
    }
    ~LocalServer() { qunsetenv("TILLBOOK_UPDATE_URL"); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
    QList<QByteArray> requests;

  private:
    QTcpServer server_;
    QByteArray body_;
};

// The value of a request's header, its name compared without regard to case.
QString headerValue(const QByteArray& request, const QString& name) {
    for (const QString& line : QString::fromLatin1(request).split(QStringLiteral("\r\n"))) {
        const auto colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && line.left(colon).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QStringLiteral("(none)");
}

struct Check : ::testing::Test {
    test::ScriptedDialogs dialogs;
    QStringList opened;
    VersionCheck check{dialogs, [](const QString& url) { return fetchSmallFile(url); },
                       [this](const QString& url) { opened << url; }};
    int questions() const {
        int n = 0;
        for (const auto& m : dialogs.messages)
            n += m.title == "eine neue Version steht zur Verfügung" ? 1 : 0;
        return n;
    }
};
} // namespace

TEST_F(Check, TheSameTextAsksNothingAnyOtherAsks) {
    {
        LocalServer server("Version 1.00.05");
        EXPECT_FALSE(check.atStart());
        EXPECT_EQ(questions(), 0);
        ASSERT_EQ(server.requests.size(), 1);
        EXPECT_TRUE(server.requests[0].startsWith("GET /Version_k.txt "));
        // Header names are case-insensitive (newer Qt sends them in lower case); the value is
        // the agent's name as it stands.
        EXPECT_EQ(headerValue(server.requests[0], "User-Agent"), "Wininet Test");
    }
    {
        LocalServer server("Version 1.00.05\r\n"); // a line break is a difference
        EXPECT_FALSE(check.atStart());             // answered No
        EXPECT_EQ(questions(), 1);
        EXPECT_TRUE(opened.isEmpty());
    }
    {
        LocalServer server("Version 1.00.04");
        dialogs.answers = {Answer::Yes};
        EXPECT_TRUE(check.atStart());
        EXPECT_EQ(questions(), 2);
        EXPECT_EQ(dialogs.last().text,
                  "Sie arbeiten im Moment mit der Version 1.00.05\r\n\r\n auf dem Server Version "
                  "1.00.04 --- installiert Version 1.00.05\r\r Möchten Sie jetzt die neue Version "
                  "installieren ?\rTillbook wird dann beendet, um das Update vorzubereiten. ");
        EXPECT_EQ(dialogs.last().icon, Icon::Question);
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0], server.url() + "/Download/Tillbook_Setup.exe");
    }
}

TEST_F(Check, NoServerAsksNothingAndNeverHolds) {
    {
        LocalServer server("", false); // accepts, never answers
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(check.atStart());
        EXPECT_LT(clock.elapsed(), 4500);
        EXPECT_EQ(questions(), 0);
    }
    qputenv("TILLBOOK_UPDATE_URL", "http://127.0.0.1:1"); // nobody listens
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(check.atStart());
    EXPECT_LT(clock.elapsed(), 4500);
    EXPECT_EQ(questions(), 0);
    EXPECT_EQ(check.serverText(), "");
    qunsetenv("TILLBOOK_UPDATE_URL");
}

TEST_F(Check, TheMenuAsksWithTheTextOfTheStartAndNoChangesNothing) {
    const QByteArray markup = "<img src=\"/dev/zero\">" + QByteArray(300, 'x') + " \xe4";
    LocalServer server(markup);
    check.atStart();
    EXPECT_EQ(check.serverText(), QString::fromLatin1(markup)); // Windows-1252 read
    const size_t asked = dialogs.messages.size();
    dialogs.answers = {Answer::No};
    EXPECT_FALSE(check.fromMenu());
    EXPECT_EQ(dialogs.messages.size(), asked + 1);
    // Cut to 200 characters in the question.
    EXPECT_TRUE(dialogs.last().text.contains(" auf dem Server <img src=\"/dev/zero\">" +
                                             QString(179, 'x') + " --- installiert "));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(server.requests.size(), 1); // fetched once, at start
}

TEST_F(Check, AnEmptyAnswerAsksNothingAndTheMenuSaysWhy) {
    for (const QByteArray& body : {QByteArray(), QByteArray("\r\n")}) {
        LocalServer server(body);
        EXPECT_FALSE(check.atStart());
        EXPECT_EQ(questions(), 0);
        dialogs.answers = {Answer::Yes};
        EXPECT_FALSE(check.fromMenu());
        EXPECT_EQ(questions(), 0);
        EXPECT_EQ(dialogs.last().title, "Online-Update");
        EXPECT_EQ(dialogs.last().icon, Icon::Information);
        EXPECT_EQ(dialogs.last().buttons, Buttons::Ok);
        EXPECT_TRUE(opened.isEmpty());
    }
}

TEST(Fetch, AServerThatNeverStopsSendingGivesTheFirst50000Bytes) {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    qint64 sent = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = server.nextPendingConnection();
        auto more = [s, &sent] {
            if (s->bytesToWrite() < (1 << 16))
                sent += s->write(QByteArray(1 << 16, 'v'));
        };
        QObject::connect(s, &QTcpSocket::readyRead, [s, more] {
            s->readAll();
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
            more();
        });
        QObject::connect(s, &QTcpSocket::bytesWritten, more);
    });
    const auto got = fetchSmallFile(
        QStringLiteral("http://127.0.0.1:%1/Version_k.txt").arg(server.serverPort()));
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->size(), 50000);
    EXPECT_EQ(*got, QByteArray(50000, 'v'));
    EXPECT_LT(sent, 16 << 20); // reading stopped at the limit; the server was not drained
}

// The real program, ended by logout or shutdown while the check at start fetches or asks: the
// run ends, the file protected again and released; no window stays open.
TEST(RunEnd, ASignalWhileTheCheckAtStartFetchesOrAsksEndsTheProgram) {
    for (const bool asking : {false, true}) {
        SCOPED_TRACE(asking ? "while asking" : "while fetching");
        test::TempHome home;
        const QString data = home.path() + "/Daten/Tillbook.kas";
        QDir().mkpath(home.path() + "/Daten");
        ASSERT_TRUE(cashfile::createEmpty(data));
        ASSERT_TRUE(cashfile::putPasswordBack(data));
        SettingsStore().save(SettingsStore::startup(), paths::kDataPathKey, data);
        QTcpServer server; // served by hand below, or not at all
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TILLBOOK_UPDATE_URL",
                   QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()));
        program.setProcessEnvironment(env);
        program.start(TB_TILLBOOK, {});
        ASSERT_TRUE(program.waitForStarted(10000));
        ASSERT_TRUE(server.waitForNewConnection(20000)) << "the check never asked the server";
        QTcpSocket* s = server.nextPendingConnection();
        if (asking) {
            s->waitForReadyRead(5000);
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\nVersion 9");
            s->waitForBytesWritten(5000);
            QThread::msleep(1000); // the question is up
        }
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        const bool ended = program.waitForFinished(8000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        EXPECT_TRUE(ended) << "the program kept running after SIGTERM";
        EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);
        EXPECT_FALSE(QFileInfo::exists(cashfile::FileLock::lockPathFor(data)));
    }
}

TEST(InfoBox, FirstTabAtEveryOpeningLinksAndTheHover) {
    test::RecordingDesktop desktop;
    Info box(&desktop);
    const QStringList& opened = desktop.opened;
    EXPECT_EQ(box.windowTitle(), "Info");
    EXPECT_EQ(box.tabs()->tabText(0), "Hinweis");
    EXPECT_EQ(box.tabs()->tabText(1), "Programm");
    box.show();
    box.tabs()->setCurrentIndex(1);
    box.hide();
    box.show();
    EXPECT_EQ(box.tabs()->currentIndex(), 0);
    bool disclaimer = false;
    for (QLabel* l : box.findChildren<QLabel*>()) {
        disclaimer = disclaimer || l->text() == Info::disclaimer();
        if (l->text() == "Version 1.00.05") {
            EXPECT_TRUE(l->styleSheet().contains("128,0,128"));
        }
    }
    EXPECT_TRUE(disclaimer);
    EXPECT_TRUE(Info::disclaimer().contains("Korrektheit der  Rechnungsbeträge"));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(box.webLink(), &enter);
    EXPECT_TRUE(box.webLink()->property("hovered").toBool());
    EXPECT_TRUE(box.webLink()->font().bold());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(box.webLink(), &leave);
    EXPECT_FALSE(box.webLink()->font().bold());
    QTest::mouseClick(box.webLink(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], Info::webAddress());
}

TEST(InfoBox, ProgramTabNamesVersionLicenceAndServerAndNothingElse) {
    LocalServer server("");
    Info box;
    QStringList texts;
    for (QLabel* l : box.tabs()->widget(1)->findChildren<QLabel*>())
        texts << l->text();
    const QString all = texts.join('\n');
    EXPECT_TRUE(
        all.contains(VersionCheck::installedVersion() + ", Stand: " + VersionCheck::releaseDate()));
    EXPECT_TRUE(all.contains("GNU General Public License, Version 3 oder jede spätere Version"));
    EXPECT_TRUE(all.contains("Copyright © 2026 Die Entwickler von Tillbook"));
    EXPECT_TRUE(all.contains(server.url())) << qPrintable(all); // the server it asks
    for (const char* invented : {"Platzhalter", "Muster", "Telefon", "mailto:"})
        EXPECT_FALSE(all.contains(QString::fromUtf8(invented))) << invented;
}

TEST(Version, TheProgramsTextComesFromTheBuildsOneVersion) {
    // "1.0.5" in CMakeLists.txt is "Version 1.00.05" in the program.
    const QStringList v = QStringLiteral(TILLBOOK_PROJECT_VERSION).split('.');
    ASSERT_EQ(v.size(), 3);
    EXPECT_EQ(VersionCheck::installedVersion(), QStringLiteral("Version %1.%2.%3")
                                                    .arg(v[0])
                                                    .arg(v[1].toInt(), 2, 10, QLatin1Char('0'))
                                                    .arg(v[2].toInt(), 2, 10, QLatin1Char('0')));
    EXPECT_EQ(VersionCheck::installedVersion(), "Version 1.00.05");
}

TEST(Manual, TheBuildMadeAPdfWithItsChaptersAndPicturesOfTheWindows) {
    const QString manual = findManual(QCoreApplication::applicationDirPath());
    ASSERT_FALSE(manual.isEmpty())
        << "no manual beside " << qPrintable(QCoreApplication::applicationDirPath());
    QProcess text;
    text.start("pdftotext", {manual, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString content = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* heading :
         {"Tillbook – Anleitung", "Inhalt", "Erste Schritte", "Ein Arbeitstag", "Stornieren",
          "Kassenaufnahme", "Kassenbestand, Zählungen und Kassenprüfung",
          "Listen, Drucken und CSV-Export", "Datensicherung und Restorix", "Wo Ihre Daten liegen",
          "Wenn etwas schiefgeht", "Das Änderungsprotokoll",
          VersionCheck::installedVersion().toUtf8().constData()})
        EXPECT_TRUE(content.contains(QString::fromUtf8(heading))) << heading;
    EXPECT_FALSE(content.contains("@INHALT@"));
    // The pictures of the windows are in it.
    QProcess images;
    images.start("pdfimages", {"-list", manual});
    ASSERT_TRUE(images.waitForFinished(30000));
    const auto listed = QString::fromUtf8(images.readAllStandardOutput()).split('\n');
    EXPECT_GE(listed.size() - 3, 15) << "pictures in the manual: " << listed.size() - 3;
    EXPECT_TRUE(findManual("/nirgends").isEmpty());
}

TEST(Manual, NothingToShowItGetsAMessageWithThePath) {
    QTemporaryDir bin;
    const QByteArray oldPath = qgetenv("PATH");
    auto opener = [&](const char* script) {
        QFile f(bin.filePath("xdg-open"));
        f.remove();
        f.open(QIODevice::WriteOnly);
        f.write(script);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    auto open = [](const QString& path, int waitMs = 5000) {
        auto failed = std::make_shared<bool>(false);
        openOnDesktop(path, [failed] { *failed = true; });
        return QTest::qWaitFor([&] { return *failed; }, waitMs);
    };
    qputenv("PATH", bin.path().toUtf8());
    EXPECT_TRUE(open("/x/Tillbook_Anleitung.pdf")); // no xdg-open at all
    opener("#!/bin/sh\necho 'no method available' >&2\nexit 3\n");
    EXPECT_TRUE(open("/x/Tillbook_Anleitung.pdf"));
    opener("#!/bin/sh\nexit 0\n");
    EXPECT_FALSE(open("/x/Tillbook_Anleitung.pdf", 1000));
    qputenv("PATH", oldPath);

    EXPECT_EQ(manualNotOpenedMessage("/usr/share/tillbook/Tillbook_Anleitung.pdf"),
              "Die Anleitung konnte nicht geöffnet werden:\n"
              "/usr/share/tillbook/Tillbook_Anleitung.pdf\n\nFür PDF-Dateien ist kein "
              "Anzeigeprogramm eingerichtet (oder xdg-open fehlt). Installieren Sie einen "
              "PDF-Betrachter, zum Beispiel Evince oder Okular, oder öffnen Sie die Datei "
              "selbst.");
    EXPECT_EQ(manualMissingMessage("/usr/bin"),
              "Die Anleitung Tillbook_Anleitung.pdf wurde nicht gefunden. Gesucht wurde hier:\n"
              "/usr/bin/Tillbook_Anleitung.pdf\n/usr/share/tillbook/Tillbook_Anleitung.pdf");
}

TEST(HelpMenu, TheManualOpensOnTheDesktopAndTheUpdateEndsTheRun) {
    test::TempHome home;
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 1), QTime(10, 0))};
    ManualScheduler scheduler;
    SettingsStore store;
    QStringList downloads;
    VersionCheck update(
        dialogs, [](const QString&) { return QByteArray("Version 2"); },
        [&](const QString& url) { downloads << url; });
    update.atStart(); // No
    test::RecordingDesktop desktop;
    Haupt w(HauptServices{&book.db(), &dialogs, &clock, &scheduler, &store, book.path(), &update,
                          &desktop});
    const QStringList& opened = desktop.opened;
    std::function<void()>& failed = desktop.failed;
    w.show();
    dialogs.messages.clear(); // the question at start
    w.menus().manual();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith("/Tillbook_Anleitung.pdf"));
    EXPECT_TRUE(dialogs.messages.empty());
    failed(); // the desktop had nothing to show it with
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, manualNotOpenedMessage(opened[0]));
    EXPECT_EQ(dialogs.messages[0].title, "Anleitung");
    dialogs.messages.clear();
    dialogs.answers = {Answer::No};
    w.onlineUpdate();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.endedForUpdate);
    dialogs.answers = {Answer::Yes};
    w.onlineUpdate();
    EXPECT_TRUE(w.endedForUpdate);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(downloads.size(), 1);
}
