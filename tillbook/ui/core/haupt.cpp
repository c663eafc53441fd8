#include "haupt.h"
#include "trace.h"

#include "berater_export.h"
#include "booking_texts.h"
#include "cash_date.h"
#include "data_paths.h"
#include "day_column.h"
#include "day_view.h"
#include "desktop.h"
#include "enter_presses.h"
#include "frm_baustelle.h"
#include "line_page.h"
#include "menu_windows.h"
#include "qt_dialogs.h"
#include "query_controller.h"
#include "query_frame.h"
#include "report_windows.h"
#include "resize_qt.h"
#include "till_count_page.h"
#include "value_display.h"
#include "version_check.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>

namespace tb {

namespace {
constexpr int kDesignWidth = 1000;
constexpr int kDesignHeight = 630;
const QColor kBackground(215, 235, 255);

int screenHeight() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 768;
}
} // namespace

Haupt::Haupt(HauptServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)), dialogs_(*s_.dialogs), settings_(s_.db),
      guard_(dialogs_), day_(*s_.db, dialogs_, *s_.clock, settings_), days_(day_.days()),
      lines_(day_.lines()), listings_(day_.listings()),
      balanceGuard_(*s_.db, dialogs_, day_.runningBalance()),
      entries_(*s_.db, dialogs_, *s_.clock, settings_, day_, balanceGuard_, guard_, *this),
      dayController_(day_, entries_, guard_),
      menus_({*s_.db, dialogs_, *s_.clock, settings_, guard_, balanceGuard_,
              s_.desktop ? *s_.desktop : QtDesktop::instance()},
             *this, this),
      printer_(dialogs_, *s_.store, s_.dataPath), resize_(screenHeight()) {
    setObjectName(QStringLiteral("Haupt"));
    setWindowTitle(QStringLiteral("Tillbook - Kassenbuch Bargeschäfte"));
    // Our calendar and the password prompt are modal windows too: activation follows them.
    dialogs_.afterModal = [this] {
        if (!QApplication::activeModalWidget())
            activate();
    };
    buildUi();
    wirePanels();
    wirePresenter();
    wireEntries();
    wireDayList();
    connect(&menus_, &MenuWindows::closed, this, &Haupt::activate);
    connect(&menus_, &MenuWindows::jobWanted, this, &Haupt::arm);
    connect(&menus_, &MenuWindows::renumbered, this, [this] {
        days_.refresh();
        dayColumn_->reload();
    });
    connect(lines_.changes(), &DataViewSignals::currentChanged, this,
            [this] { arm(JobId::ShowLine); });

    // Start-up: the views, the rate choice, the period, the first column caption, the tab.
    days_.refresh();
    dayColumn_->reload();
    panel_->setRates(settings_.rate1(), settings_.rate2());
    panel_->setRate(QString());
    listings_.setPeriod(
        s_.store->get(SettingsStore::startup(), paths::kPeriodStartKey, Listings::defaultStart()),
        s_.store->get(SettingsStore::startup(), paths::kPeriodEndKey, Listings::defaultEnd()));
    queries_->showPeriod();
    linePage_->setHeading(4, settings_.caption(1));
    tabs_->setCurrentIndex(0);

    // The jobs armed when the window is created, in the order of their delays.
    arm(JobId::ShowLine);
    arm(JobId::LoadLines);
    arm(JobId::TillDifference);
    arm(JobId::Recompute);
    arm(JobId::CarriedIn);
    qApp->installEventFilter(this);
}

Haupt::~Haupt() {
    qApp->removeEventFilter(this);
    dialogs_.afterModal = nullptr;
}

// ---------------------------------------------------------------- the deferred jobs

// Every deferred job of the window: its name, its delay in milliseconds and its work. Events
// arm jobs by their id; the delays fix the order in which the views follow an event.
struct Haupt::Job {
    JobId id;
    const char* name;
    int delay;
    void (*work)(Haupt&);
};

const Haupt::Job Haupt::kJobs[] = {
    {JobId::ShowLine, "show current line", 50, [](Haupt& h) { h.entries_.showCurrentLine(); }},
    {JobId::LoadLines, "load day lines", 100, [](Haupt& h) { h.dayController_.loadLines(); }},
    {JobId::TillDifference, "till count difference", 100,
     [](Haupt& h) { h.tillPage_->showDifference(); }},
    {JobId::Recompute, "recompute day view", 200, [](Haupt& h) { h.dayController_.recompute(); }},
    {JobId::CarriedIn, "carried-in balance", 250, [](Haupt& h) { h.day_.updateCarriedIn(); }},
    {JobId::SaveLine, "save line", 100, [](Haupt& h) { h.entries_.saveLine(); }},
    {JobId::PressNew, "press new entry", 700, [](Haupt& h) { h.entries_.newEntry(); }},
    {JobId::AfterDayCreated, "after day created", 100,
     [](Haupt& h) { h.dayController_.afterDayCreated(); }},
    {JobId::StartLineOnNewDay, "start line on new day", 200,
     [](Haupt& h) { h.entries_.startLineOnNewDay(); }},
    {JobId::EntryState, "entry-field state", 100, [](Haupt& h) { h.entries_.entryFieldState(); }},
    {JobId::UnlockEditing, "unlock editing", 300, [](Haupt& h) { h.entries_.unlockEditing(); }},
    {JobId::NewLine, "new line", 360, [](Haupt& h) { h.entries_.openNewLine(true); }},
    {JobId::FocusRemark, "focus remark", 100, [](Haupt& h) { h.entries_.focusRemark(); }},
};

const Haupt::Job& Haupt::job(JobId id) {
    for (const Job& j : kJobs)
        if (j.id == id)
            return j;
    Q_UNREACHABLE();
}

QString Haupt::jobName(JobId id) {
    return QLatin1String(job(id).name);
}

int Haupt::jobDelay(JobId id) {
    return job(id).delay;
}

void Haupt::arm(JobId id) {
    const Job& j = job(id);
    s_.scheduler->arm(QLatin1String(j.name), j.delay, [this, work = j.work] { work(*this); });
}

void Haupt::openBookingTextPicker(bool maintenance) {
    const QString preselect = panel_->values().field(kTextField);
    if (s_.picker) {
        s_.picker->pick(maintenance, preselect,
                        [this](const QString& text) { entries_.takeOverBookingText(text); });
        return;
    }
    frm_Baustelle picker(s_.db, dialogs_,
                         maintenance ? frm_Baustelle::Role::Maintain : frm_Baustelle::Role::Choose,
                         this);
    connect(&picker, &frm_Baustelle::textTakenOver, &entries_,
            &EntryController::takeOverBookingText);
    picker.preselect(preselect);
    runModal(picker);
    // Closing the picker selects "nicht erledigt" again: the selector is refilled (by the
    // activation that follows every modal window, once) and gets the focus.
    query_->textSelector()->setFocus();
}

template <typename Dialog> int Haupt::runModal(Dialog& dialog) {
    dialog.adjustSize();
    centreOnScreen(dialog);
    const int r = dialog.exec();
    activate();
    return r;
}

// ---------------------------------------------------------------- layout

void Haupt::buildUi() {
    surface_ = new QWidget;
    surface_->setObjectName(QStringLiteral("surface"));
    surface_->setAutoFillBackground(true);
    QPalette pal = surface_->palette();
    pal.setColor(QPalette::Window, kBackground);
    surface_->setPalette(pal);
    setCentralWidget(surface_);
    surface_->setMinimumSize(640, 440);
    resize(kDesignWidth, kDesignHeight + 30);

    dayColumn_ = new DayColumn(surface_, kDesignHeight, day_, dayController_, this);

    tabs_ = new QTabWidget(surface_);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    tabs_->setGeometry(204, 6, 786, 376);
    linePage_ = new LinePage(lines_);
    tabs_->addTab(linePage_, QStringLiteral("Kassenbuch Bargeschäfte"));
    tillPage_ = new TillCountPage(dialogs_);
    tabs_->addTab(tillPage_, QStringLiteral("Kassenaufnahme / Kassenabschluss"));

    auto button = [this](const QString& text, const char* name, int x, int y, int w, int h) {
        auto* b = new QPushButton(text, surface_);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        enterPresses(b);
        b->setGeometry(x, y, w, h);
        return b;
    };
    auto* neu = button(QStringLiteral("Eintrag  NEU  (F4)"), "Command3", 204, 388, 160, 30);
    connect(neu, &QPushButton::clicked, &entries_, &EntryController::newEntry);
    auto* texts = button(QStringLiteral("Buchungstext anlegen"), "Command5", 370, 388, 170, 30);
    connect(texts, &QPushButton::clicked, this, [this] { openBookingTextPicker(true); });
    optEdit_ = new QRadioButton(QStringLiteral("Modus Bearbeiten"), surface_);
    optEdit_->setObjectName(QStringLiteral("Option1"));
    optEdit_->setGeometry(560, 392, 150, 22);
    optNew_ = new QRadioButton(QStringLiteral("Modus Neuanlage"), surface_);
    optNew_->setObjectName(QStringLiteral("Option2"));
    optNew_->setGeometry(720, 392, 150, 22);
    optEdit_->setChecked(true);

    panel_ = new EntryPanel(entries_.rules(), surface_);
    panel_->setGeometry(204, 424, 786, 120);
    query_ = new QueryFrame(surface_);
    query_->setGeometry(204, 550, 786, 66);
    buildMenus();

    // The design positions are the reference the window scales from.
    surface_->resize(kDesignWidth, kDesignHeight);
    resizeWindow_ = std::make_unique<WidgetResizeWindow>(this, surface_);
    resize_.registerWindow(*resizeWindow_);
}

void Haupt::buildMenus() {
    // The captions read as they stand; the underlined letter opens them with Alt.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    QAction* backup = file->addAction(QStringLiteral("Daten&sicherung"));
    backup->setObjectName(QStringLiteral("mnu_Sicherung"));
    connect(backup, &QAction::triggered, this, &Haupt::openBackupWindow);
    QAction* correction = file->addAction(QStringLiteral("Daten&korrektur"));
    correction->setObjectName(QStringLiteral("mnu_Korrektur"));
    connect(correction, &QAction::triggered, this, [this] { queries_->correctData(); });
    connect(file->addAction(QStringLiteral("&Export für den Steuerberater …")), &QAction::triggered,
            this, [this] {
                exportForAdvisor(this, *s_.db, dialogs_, *s_.clock, listings_.periodStart(),
                                 listings_.periodEnd(), s_.dataPath);
            });
    connect(file->addAction(QStringLiteral("Export für die Betriebs&prüfung …")),
            &QAction::triggered, this, [this] {
                exportForAuditor(this, *s_.db, dialogs_, *s_.clock, listings_.periodStart(),
                                 listings_.periodEnd(), s_.dataPath);
            });
    QAction* changeLog = file->addAction(QStringLiteral("Ä&nderungsprotokoll"));
    changeLog->setObjectName(QStringLiteral("mnu_Protokoll"));
    connect(changeLog, &QAction::triggered, this, [this] {
        reports().changeLog(this);
        activate();
    });
    QAction* counts = file->addAction(QStringLiteral("&Zählungen"));
    counts->setObjectName(QStringLiteral("mnu_Zaehlungen"));
    connect(counts, &QAction::triggered, this, [this] {
        reports().counts(this, settings_.currency());
        activate();
    });
    QAction* selfCheck = file->addAction(QStringLiteral("K&assenprüfung"));
    selfCheck->setObjectName(QStringLiteral("mnu_Kassenpruefung"));
    connect(selfCheck, &QAction::triggered, this, [this] {
        reports().selfCheck(this, cashdate::fromText(listings_.periodStart()),
                            cashdate::fromText(listings_.periodEnd()));
        activate();
    });
    file->addSeparator();
    connect(file->addAction(QStringLiteral("&Beenden")), &QAction::triggered, this, &Haupt::close);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Einstellungen"));
    QAction* columns = settings->addAction(QStringLiteral("Spalten"));
    columns->setVisible(false);
    connect(columns, &QAction::triggered, this, [this] { menus_.settingsWindow(false); });
    connect(settings->addAction(QStringLiteral("&Kassenbestand")), &QAction::triggered, &menus_,
            &MenuWindows::floatWindow);
    connect(settings->addAction(QStringLiteral("&Vorgaben")), &QAction::triggered, this,
            [this] { menus_.settingsWindow(true); });
    connect(settings->addAction(QStringLiteral("&Passwort ändern")), &QAction::triggered, &menus_,
            &MenuWindows::passwordChange);
    connect(settings->addAction(QStringLiteral("Konten für den &Steuerberater")),
            &QAction::triggered, &menus_, &MenuWindows::advisorAccounts);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    connect(help->addAction(QStringLiteral("&Anleitung")), &QAction::triggered, &menus_,
            &MenuWindows::manual);
    connect(help->addAction(QStringLiteral("&Info")), &QAction::triggered, &menus_,
            &MenuWindows::info);
    connect(help->addAction(QStringLiteral("&Online-Update")), &QAction::triggered, this,
            &Haupt::onlineUpdate);
}

void Haupt::wirePanels() {
    // From the line grid, Tab reaches the panel's buttons first: "Stornieren" after Enter.
    panel_->followInTabOrder(lineGrid());

    connect(panel_, &EntryPanel::saveClicked, &entries_, &EntryController::saveEntry);
    connect(panel_, &EntryPanel::cancelClicked, &entries_, &EntryController::cancelEntry);
    connect(panel_, &EntryPanel::deleteLineClicked, &entries_, &EntryController::deleteLine);
    connect(panel_, &EntryPanel::stornoClicked, &entries_, &EntryController::cancelLine);
    connect(panel_, &EntryPanel::bookingTextWanted, this, [this] { openBookingTextPicker(false); });
    // However the panel is hidden, a line it was adding is dropped, as "abbrechen" does.
    connect(panel_, &EntryPanel::dismissed, this, [this] { lines_.cancelAdd(); });

    connect(linePage_, &LinePage::rowClicked, this, [this](int row) { lines_.moveTo(row); });
    connect(linePage_, &LinePage::currentRowChanged, this, [this](int row) { lines_.moveTo(row); });
    connect(linePage_, &LinePage::rowActivated, this, [this](int row) {
        lines_.moveTo(row);
        entries_.openCancellationPanel();
    });

    connect(tillPage_, &TillCountPage::countChanged, this, [this] {
        entries_.serviceCodeChanged();
        arm(JobId::TillDifference);
    });

    wireQueryFrame();

    connect(optEdit_, &QRadioButton::toggled, this, [this](bool on) {
        if (!on)
            return;
        if (!entries_.leaveNewEntry()) {
            // The entry stays, and so does the mode it was made in.
            const QSignalBlocker blockEdit(optEdit_);
            const QSignalBlocker blockNew(optNew_);
            optNew_->setChecked(true);
            return;
        }
        s_.scheduler->disarm(jobName(JobId::PressNew));
        panel_->dismiss();
        dayColumn_->list()->setFocus();
    });
    connect(optNew_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            arm(JobId::PressNew);
    });
}

void Haupt::layoutAfterResize() {
    dayColumn_->layout();
    linePage_->layoutColumns();
    panel_->placeUnder([this](int column) { return linePage_->columnRect(column, panel_); });
}

void Haupt::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (!resizeWindow_)
        return;
    resize_.resizeWindow(*resizeWindow_);
    layoutAfterResize();
}

// ---------------------------------------------------------------- controls by their names

QTableView* Haupt::lineGrid() const {
    return linePage_->grid();
}

bool Haupt::serviceCode() const {
    return tillPage_->serviceCode();
}

// ---------------------------------------------------------------- activation and settings

void Haupt::activate() {
    settings_.reload();
    applySettings();
    fillBookingTextSelector();
    if (panel_->isHidden())
        arm(JobId::Recompute);
    if (!isMaximized() && isVisible())
        showMaximized();
    listings_.followGrid();
    linePage_->setHeading(4, QStringLiteral("Steuer ") + settings_.rate1() + QLatin1Char('%'));
    linePage_->setHeading(5, QStringLiteral("Steuer ") + settings_.rate2() + QLatin1Char('%'));
    guard_.setCurrentPassword(passwordFromMemo(settings_.scrambledPassword()));
}

void Haupt::applySettings() {
    for (int k = 1; k <= 5; ++k) {
        const QString caption = settings_.caption(k);
        linePage_->setHeading(k + 3, caption);
        linePage_->setColumnVisible(k, !caption.isEmpty());
        panel_->setColumnVisible(k, !caption.isEmpty());
    }
    panel_->setRates(settings_.rate1(), settings_.rate2());
    layoutAfterResize();
}

void Haupt::fillBookingTextSelector() {
    query_->setTexts(BookingTexts::openLineTexts(*s_.db));
}

// ---------------------------------------------------------------- days

void Haupt::wireDayList() {
    DayController* d = &dayController_;
    connect(d, &DayController::jobWanted, this, &Haupt::arm);
    connect(d, &DayController::panelCloseWanted, panel_, &EntryPanel::close);
    connect(d, &DayController::dayChosen, this, [this] {
        query_->clearSelectedText();
        tabs_->setTabEnabled(1, true);
    });
    connect(d, &DayController::gridFocusWanted, this, [this] { lineGrid()->setFocus(); });
    connect(d, &DayController::recomputed, this, [this](bool entryOpen) {
        // The line grid takes the focus, unless the operator is at work in the query frame (a
        // period label whose calendar just closed, the selector). The window's own focus is
        // asked: right after a calendar the window may not be active again yet.
        if (!entryOpen && !query_->isAncestorOf(focusWidget()))
            lineGrid()->setFocus();
        trace("figures");
    });
}

// ---------------------------------------------------------------- jobs of the day view

void Haupt::wirePresenter() {
    connect(&day_, &DayPresenter::linesReread, linePage_, &LinePage::reload);
    connect(&day_, &DayPresenter::totalsChanged, this, [this](const DayTotals& t) {
        linePage_->total(1)->setMoney(t.vat1);
        linePage_->total(2)->setMoney(t.vat2);
        linePage_->total(3)->setMoney(t.receipts);
        linePage_->total(4)->setMoney(t.payments);
        linePage_->total(5)->setMoney(t.receiptNumbers);
        tillPage_->setExpected(t.dayAmount());
    });
    connect(&day_, &DayPresenter::balanceChanged, tillPage_, &TillCountPage::setExpected);
    connect(&day_, &DayPresenter::carriedInChanged, this, [] { trace("figures"); });
}

// ---------------------------------------------------------------- booking entry

bool Haupt::panelShown() const {
    return !panel_->isHidden();
}

EntryState Haupt::panelState() const {
    return panel_->state();
}

EntryValues Haupt::panelValues() const {
    return panel_->values();
}

bool Haupt::newModeOn() const {
    return optNew_->isChecked();
}

bool Haupt::saveArmed() const {
    return s_.scheduler->isArmed(jobName(JobId::SaveLine));
}

void Haupt::wireEntries() {
    EntryController* e = &entries_;
    panel_->follow(entries_);
    connect(e, &EntryController::jobWanted, this, &Haupt::arm);
    connect(e, &EntryController::lineShown, linePage_, &LinePage::showCurrent);
    connect(e, &EntryController::gridFocusWanted, this, [this] { lineGrid()->setFocus(); });
    connect(e, &EntryController::bookingTextPickerWanted, this,
            [this] { openBookingTextPicker(false); });
    connect(e, &EntryController::dayWanted, &dayController_, &DayController::findOrCreate);
    connect(e, &EntryController::editModeWanted, this, [this] { optEdit_->setChecked(true); });
    connect(e, &EntryController::daysChanged, dayColumn_, &DayColumn::reload);
    connect(e, &EntryController::bookingPageWanted, this, [this] { tabs_->setCurrentIndex(0); });
    connect(e, &EntryController::doneToggled, this, [this] {
        linePage_->reload();
        fillBookingTextSelector();
    });
}

// ---------------------------------------------------------------- queries and the till count

void Haupt::wireQueryFrame() {
    queries_ = new QueryController(
        *query_, day_,
        {s_.db, &dialogs_, s_.clock, &settings_, &entries_, &printer_, s_.store, s_.dataPath},
        this);
    connect(queries_, &QueryController::listingStarts, panel_, &EntryPanel::dismiss);
    connect(queries_, &QueryController::tillCountAllowed, this,
            [this](bool on) { tabs_->setTabEnabled(1, on); });
    connect(queries_, &QueryController::gridFocusWanted, this, [this] { lineGrid()->setFocus(); });
    connect(queries_, &QueryController::figuresWanted, this, [this](bool carriedIn) {
        arm(JobId::Recompute);
        if (carriedIn)
            arm(JobId::CarriedIn);
    });
    queries_->followTillCount(*tillPage_);
}

// ---------------------------------------------------------------- menus

void Haupt::openBackupWindow() {
    // The backup window takes over: this window closes, and with it the data file, without
    // the backup at exit.
    backupWindowOpen = true;
    close();
}

void Haupt::onlineUpdate() {
    if (!s_.update || !s_.update->fromMenu())
        return;
    // The question announced it: the program ends at once.
    endedForUpdate = true;
    close();
}

ReportWindows Haupt::reports() {
    return {*s_.db, dialogs_, *s_.clock, printer_, s_.dataPath};
}

// ---------------------------------------------------------------- keys and end

bool Haupt::eventFilter(QObject* o, QEvent* e) {
    // Installed on the application: the window sees keys before its controls do.
    if (e->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(o, e);
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->window() != this)
        return QMainWindow::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    switch (k->key()) {
    case Qt::Key_F3:
        dayController_.findOrCreate();
        return true;
    case Qt::Key_F4:
        entries_.newEntry();
        return true;
    case Qt::Key_F9:
        entries_.toggleDone();
        return true;
    case Qt::Key_Escape:
        entries_.cancelEntry();
        dayColumn_->list()->setFocus();
        return true;
    default:
        break;
    }
    if (o == dayColumn_->list() && enter) {
        lineGrid()->setFocus();
        return true;
    }
    return QMainWindow::eventFilter(o, e);
}

void Haupt::closeEvent(QCloseEvent* e) {
    closing_ = true;
    panel_->setClosing(true);
    // A line saved a moment ago is written before the run ends, and its balances with it.
    s_.scheduler->runNow(jobName(JobId::SaveLine));
    s_.scheduler->runNow(jobName(JobId::Recompute));
    s_.store->save(SettingsStore::startup(), paths::kPeriodStartKey, query_->periodStart()->text());
    s_.store->save(SettingsStore::startup(), paths::kPeriodEndKey, query_->periodEnd()->text());
    qApp->removeEventFilter(this);
    e->accept();
    QMainWindow::closeEvent(e);
}

} // namespace tb
