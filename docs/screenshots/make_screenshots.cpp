// Takes the pictures of the manual from the real windows, off screen, over the demo book:
//   make_screenshots FOLDER         writes FOLDER/<name>.png for every picture below
//   make_screenshots --book FILE    writes only the demo book (to try it in the real program)
// The build runs it whenever a window changes, so the pictures always show the program as it
// is. The windows are shown on an off-screen desktop of 1280 x 1024 pixels.
//
// A new picture: one more `shots.take("name", widget)` in a scene below (or a new scene);
// the manual shows it with ![Bildunterschrift](name.png).
#include "aenderungsprotokoll.h"
#include "backup.h"
#include "change_log.h"
#include "data_paths.h"
#include "datensicherung.h"
#include "demo_book.h"
#include "drucker_waehlen.h"
#include "form1.h"
#include "frm_baustelle.h"
#include "frm_calendar.h"
#include "haupt.h"
#include "info.h"
#include "kassenbestand.h"
#include "kassenpruefung.h"
#include "money.h"
#include "password_windows.h"
#include "qt_dialogs.h"
#include "query_controller.h"
#include "restore.h"
#include "stored_counts.h"
#include "till_count_page.h"
#include "value_display.h"
#include "vorgaben.h"
#include "zaehlungen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <string_view>

using namespace tb;

namespace {

// The home folder the pictures show instead of the temporary one the tool works in.
const QString kShownHome = QStringLiteral("/home/anna");

class Shots {
  public:
    Shots(QString folder, QString home) : folder_(std::move(folder)), home_(std::move(home)) {}

    // Shows the window, lets its layouts and deferred painting settle, and saves it with a
    // plain title bar as a desktop would draw it.
    void take(const QString& name, QWidget& w) {
        if (!w.isVisible())
            w.show();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        tidyPaths(w);
        const QPixmap content = w.grab();
        const int bar = 26;
        QImage shot(content.width() + 2, content.height() + bar + 1, QImage::Format_RGB32);
        shot.fill(QColor(90, 96, 110));
        QPainter p(&shot);
        QLinearGradient g(0, 0, 0, bar);
        g.setColorAt(0, QColor(96, 112, 140));
        g.setColorAt(1, QColor(70, 84, 110));
        p.fillRect(QRect(0, 0, shot.width(), bar), g);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(10, 0, shot.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   w.windowTitle().replace(home_, kShownHome));
        p.drawPixmap(1, bar, content);
        p.end();
        const QString file = folder_ + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!shot.save(file)) {
            std::fprintf(stderr, "make_screenshots: cannot write %s\n", qPrintable(file));
            failed = true;
        }
    }
    bool failed = false;

  private:
    // The temporary home becomes the home a shop owner has, wherever the window shows a path.
    void tidyPaths(QWidget& w) {
        auto tidy = [this](QString s) { return s.replace(home_, kShownHome); };
        for (QLabel* l : w.findChildren<QLabel*>())
            l->setText(tidy(l->text()));
        for (QLineEdit* e : w.findChildren<QLineEdit*>())
            e->setText(tidy(e->text()));
        for (QListWidget* list : w.findChildren<QListWidget*>())
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setText(tidy(list->item(i)->text()));
    }
    QString folder_;
    QString home_;
};

// What every window of Tillbook works with, over one open book.
// The booking-text picker that shows nothing: no modal window stops the run.
struct NoPicker : BookingTextPicker {
    void pick(bool, const QString&, const std::function<void(const QString&)>&) override {}
} noPicker;

struct Program {
    std::unique_ptr<Database> db;
    QString path;
    HeadlessDialogs dialogs{Answer::No};
    FixedClock clock{demo::now()};
    ManualScheduler scheduler;
    SettingsStore store;

    explicit Program(QString file) : path(std::move(file)) {
        db = Database::open(path, {});
        if (!db)
            throw std::runtime_error("cannot open " + path.toStdString());
        // What the windows write is logged at the demo's moment, as the demo book was.
        changelog::setClock(&clock);
    }
    ~Program() { changelog::setClock(nullptr); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    std::unique_ptr<Haupt> mainWindow() {
        auto w = std::make_unique<Haupt>(HauptServices{db.get(), &dialogs, &clock, &scheduler,
                                                       &store, path, nullptr, nullptr, &noPicker});
        w->resize(1000, 700);
        w->show();
        w->activate();
        settle();
        return w;
    }
    void settle() { scheduler.advance(3000); }
};

void mainWindowScenes(Shots& shots, const QString& home) {
    const QString documents = home + QStringLiteral("/Dokumente/Tillbook - Daten");
    // The first start: a new, empty book.
    {
        QDir().mkpath(home + QStringLiteral("/leer"));
        const QString empty = home + QStringLiteral("/leer/Tillbook.kas");
        cashfile::createEmpty(empty);
        Program p(empty);
        auto w = p.mainWindow();
        shots.take(QStringLiteral("haupt_leer"), *w);
    }
    // The listings show the first half of March.
    SettingsStore().save(SettingsStore::startup(), paths::kPeriodStartKey,
                         QStringLiteral("01.03.2026"));
    SettingsStore().save(SettingsStore::startup(), paths::kPeriodEndKey,
                         QStringLiteral("14.03.2026"));
    Program p(documents + QStringLiteral("/Tillbook.kas"));
    auto w = p.mainWindow();
    shots.take(QStringLiteral("haupt"), *w);

    // A booking in progress: the text taken over, the remark and the amount typed.
    w->entries().newEntry();
    p.settle();
    w->entries().takeOverBookingText(QStringLiteral("Tageseinnahme Backwaren"));
    p.settle();
    EntryValues v = w->findChild<EntryPanel*>("Frame1")->values();
    v.field(kRemarkField) = QStringLiteral("Kasse 2, Nachmittag");
    v.field(kReceiptField) = QStringLiteral("86,40");
    w->findChild<EntryPanel*>("Frame1")->setValues(v);
    w->findChild<EntryPanel*>("Frame1")->focusField(kReceiptField);
    shots.take(QStringLiteral("eingabe"), *w);
    w->entries().cancelEntry();
    p.settle();

    // The cancellation panel over a line of the day.
    w->findChild<QTableView*>("DBGrid2")->setFocus();
    w->entries().openCancellationPanel();
    p.settle();
    shots.take(QStringLiteral("stornieren"), *w);
    w->entries().cancelEntry();
    p.settle();

    // Listings: every line of the period, and the open lines of one booking text.
    w->queries().listPeriod();
    p.settle();
    shots.take(QStringLiteral("liste_zeitraum"), *w);
    w->queries().listText(QStringLiteral("Wareneinkauf Mehl"));
    p.settle();
    shots.take(QStringLiteral("liste_buchungstext"), *w);

    // The till count of the day: the till holds what the book says, in the notes and coins
    // a till has (lines 1..15 count 500 € down to 1 ct).
    w->dayList().chooseRow(0);
    p.settle();
    w->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    p.settle();
    qint64 left = Money::parse(w->findChild<TillCountPage*>("TillCountPage")->expected()->text())
                      .value_or(Money())
                      .cents();
    const int values[] = {50000, 20000, 10000, 5000, 2000, 1000, 500, 200,
                          100,   50,    20,    10,   5,    2,    1};
    for (int line = 1; line <= 15; ++line) {
        const int value = values[line - 1];
        if (value > 5000 || left < value)
            continue;
        w->findChild<TillCountPage*>("TillCountPage")
            ->countField(line)
            ->setText(QString::number(left / value));
        left %= value;
    }
    p.settle();
    shots.take(QStringLiteral("kassenaufnahme"), *w);
    // The count kept, the list of kept counts and the self-check over the demo month.
    StoredCounts::store(
        *p.db, p.dialogs, p.clock, w->days().currentDate(),
        w->findChild<TillCountPage*>("TillCountPage")->counts(),
        Money::parseOrZero(w->findChild<TillCountPage*>("TillCountPage")->counted()->text()),
        Money::parseOrZero(w->findChild<TillCountPage*>("TillCountPage")->expected()->text()));
    w->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(0);
    {
        Zaehlungen counts(*p.db, p.dialogs, QString());
        shots.take(QStringLiteral("zaehlungen"), counts);
    }
    {
        Kassenpruefung check(*p.db, p.dialogs, QString(), QDate(demo::now().date().year(), 3, 1),
                             QDate(demo::now().date().year(), 3, 31));
        check.check();
        shots.take(QStringLiteral("kassenpruefung"), check);
    }

    // The dialogs of the main window.
    {
        frm_Baustelle picker(p.db.get(), p.dialogs, frm_Baustelle::Role::Choose);
        picker.show();
        picker.preselect(QStringLiteral("Tages"));
        picker.searchField()->setText(QStringLiteral("Tages"));
        shots.take(QStringLiteral("buchungstexte"), picker);
    }
    {
        frmCalendar calendar;
        calendar.setWindowTitle(QStringLiteral("Tag suchen oder anlegen"));
        calendar.setToday(demo::now().date());
        calendar.setCurrentDate(demo::now().date());
        shots.take(QStringLiteral("kalender"), calendar);
    }
    {
        Vorgaben settings(p.db.get(), p.dialogs);
        shots.take(QStringLiteral("vorgaben"), settings);
    }
    {
        Kassenbestand floatDialog(p.db.get(), p.dialogs);
        shots.take(QStringLiteral("kassenbestand"), floatDialog);
    }
    {
        Passwort_check password(QStringLiteral("geheim"));
        shots.take(QStringLiteral("passwort"), password);
    }
    {
        QString printer = QStringLiteral("Büro-Drucker");
        Drucker_waehlen choice(
            p.dialogs, {QStringLiteral("Büro-Drucker"), QStringLiteral("PDF-Datei")}, printer, 1);
        shots.take(QStringLiteral("drucker"), choice);
    }
    {
        Aenderungsprotokoll log(*p.db, p.dialogs, p.path);
        log.clock = &p.clock;
        log.resize(1000, 560);
        shots.take(QStringLiteral("protokoll"), log);
    }
    {
        Info info;
        shots.take(QStringLiteral("info"), info);
        info.tabs()->setCurrentIndex(1);
        shots.take(QStringLiteral("info_programm"), info);
    }
}

void backupScenes(Shots& shots, const QString& home) {
    const QString dataFile = home + QStringLiteral("/Dokumente/Tillbook - Daten/Tillbook.kas");
    const QString dataPath = home + QStringLiteral("/Dokumente/Tillbook - Daten/");
    const QString backups = home + QStringLiteral("/Backup Tillbook/");
    QDir().mkpath(backups);
    // The manual copy and the copies of the weekdays the shop worked, as a fortnight leaves
    // them; each with the time it was written.
    const QDateTime at = demo::now();
    QStringList copies{QStringLiteral("Tillbook.kas")};
    for (int day = 1; day <= 7; ++day)
        if (day != 1) // Sunday: closed
            copies << QStringLiteral("Tillbook.ka%1").arg(day);
    for (const QString& name : copies) {
        const QString copy = backups + name;
        QFile::remove(copy);
        QFile::copy(dataFile, copy);
        QFile f(copy);
        f.open(QIODevice::ReadWrite);
        // Today is a Saturday morning: Saturday's copy is a week old.
        const int weekday = name == QLatin1String("Tillbook.kas") ? 6 : name.right(1).toInt();
        const int back = (7 - weekday) % 7 == 0 ? 7 : (7 - weekday) % 7;
        f.setFileTime(QDateTime(at.date().addDays(-back), QTime(18, 5 + weekday)),
                      QFileDevice::FileModificationTime);
    }
    HeadlessDialogs dialogs;
    FixedClock clock(demo::now());
    ManualScheduler scheduler;
    SettingsStore store;
    {
        Backup backup(store, dialogs, clock, dataPath, dataFile);
        Datensicherung window(backup, scheduler, {});
        window.adjustSize();
        shots.take(QStringLiteral("datensicherung"), window);
    }
    {
        Restore restore(store, dialogs, home + QStringLiteral("/Dokumente"),
                        QCoreApplication::applicationDirPath());
        Form1 window(restore, dialogs, scheduler);
        window.resize(700, 420);
        window.show();
        scheduler.advance(3000);
        shots.take(QStringLiteral("restorix"), window);
    }
    {
        compactrep window(dialogs, dataFile);
        shots.take(QStringLiteral("komprimieren"), window);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && argv[1] == std::string_view("--book")) {
        QCoreApplication app(argc, argv);
        demo::writeBook(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_screenshots FOLDER | --book FILE\n");
        return 2;
    }
    // A home of its own: the tool never touches the settings or books of whoever builds.
    QTemporaryDir temp;
    const QString home = temp.path() + QStringLiteral("/anna");
    QDir().mkpath(temp.path() + QStringLiteral("/run"));
    QFile::setPermissions(temp.path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (temp.path() + QStringLiteral("/run")).toUtf8());
    // The desktop the windows are shown on: one screen of 1280 x 1024 at 96 dpi.
    QFile screen(temp.path() + QStringLiteral("/screen.json"));
    {
        screen.open(QIODevice::WriteOnly);
        screen.write(R"({"screens": [{"name": "Bildschirm", "x": 0, "y": 0, "width": 1280,
            "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screen.close();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toUtf8());
    QDir().mkpath(home + QStringLiteral("/Dokumente/Tillbook - Daten"));
    QDir().mkpath(home + QStringLiteral("/.config"));
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toUtf8());
    {
        QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
        dirs.open(QIODevice::WriteOnly);
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    }
    // The off-screen platform says where it cannot follow a window's size hints; that is no
    // news for a picture.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (!msg.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        if (type == QtFatalMsg)
            std::abort();
    });
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tillbook"));
    QApplication::setApplicationName(QStringLiteral("Tillbook"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       home + QStringLiteral("/.config"));
    installGermanTranslation();

    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    Shots shots(folder, home);
    try {
        demo::writeBook(home + QStringLiteral("/Dokumente/Tillbook - Daten/Tillbook.kas"));
        mainWindowScenes(shots, home);
        backupScenes(shots, home);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_screenshots: %s\n", e.what());
        return 1;
    }
    return shots.failed ? 1 : 0;
}
