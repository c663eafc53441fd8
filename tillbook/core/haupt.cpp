#include "haupt.h"

#include "booking_texts.h"
#include "cash_date.h"
#include "data_paths.h"
#include "data_view_model.h"
#include "day_view.h"
#include "frm_baustelle.h"
#include "kassenbestand.h"
#include "password_windows.h"
#include "resize_qt.h"
#include "vorgaben.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tb {

namespace {
constexpr int kDesignWidth = 1000;
constexpr int kDesignHeight = 630;
const QColor kBackground(215, 235, 255);
const QString kNeuanlage = QStringLiteral("Neuanlage");
const QString kBearbeiten = QStringLiteral("Daten bearbeiten");
const QString kStornieren = QStringLiteral("Eintrag stornieren");
// Share of the line grid's width per column: Beleg, Datum, Buchungstext, Bemerkung, St 1, St 2,
// Einnahme, Ausgabe, and the ninth column.
constexpr std::array<int, 9> kColumnShares{7, 10, 19, 20, 9, 9, 10, 10, 6};
const QStringList kLineColumns{"a8", "a10", "n1", "n2", "a14", "a13", "a4", "a5", "a8"};

QString linesSource() {
    return QStringLiteral("Select * from Buchungen WHERE a10 = (?)Order by ID;");
}

int screenHeight() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 768;
}

// A label that reacts to a click.
class ClickLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> clicked;

  protected:
    void mousePressEvent(QMouseEvent*) override {
        if (clicked)
            clicked();
    }
};
} // namespace

Haupt::Haupt(HauptServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)), dialogs_(*s_.dialogs), settings_(s_.db),
      guard_(dialogs_), days_(s_.db, dialogs_, *s_.clock),
      lines_(s_.db, QStringLiteral("Buchungen"), linesSource(), {QString()}),
      entry_(dialogs_, settings_), cancellation_(*s_.db, dialogs_, *s_.clock, settings_),
      resize_(screenHeight()) {
    setObjectName(QStringLiteral("Haupt"));
    setWindowTitle(QStringLiteral("Tillbook - Kassenbuch Bargeschäfte"));
    openBookingTextPicker = [this](bool maintenance) {
        frm_Baustelle picker(
            s_.db, dialogs_,
            maintenance ? frm_Baustelle::Role::Maintain : frm_Baustelle::Role::Choose, this);
        picker.onTakeOver = [this](const QString& t) { takeOverBookingText(t); };
        picker.preselect(entryField(1)->text());
        runModal(picker);
        fillBookingTextSelector();
    };
    buildUi();
    days_.onDayChanged = [this] { dayChanged(); };
    lines_.onCurrentChanged = [this] { arm(kShowLine, [this] { showCurrentLine(); }); };

    // Start-up: the views, the rate choice, the period, the first column caption, the tab.
    days_.refresh();
    dayModel_->reload();
    rate_->clear();
    rate_->addItems({settings_.rate1(), settings_.rate2(), QStringLiteral("0")});
    rate_->setCurrentIndex(-1);
    rate_->setEditText(QString());
    periodStart_->setText(s_.store->get(SettingsStore::startup(), paths::kPeriodStartKey,
                                        QStringLiteral("01.01.2012")));
    periodEnd_->setText(s_.store->get(SettingsStore::startup(), paths::kPeriodEndKey,
                                      QStringLiteral("31.12.2099")));
    lineModel_->setHeading(4, settings_.caption(1));
    tabs_->setCurrentIndex(0);
    startUpJobs();
    qApp->installEventFilter(this);
}

Haupt::~Haupt() {
    qApp->removeEventFilter(this);
}

void Haupt::arm(const Job& job, std::function<void()> work) {
    s_.scheduler->arm(QLatin1String(job.name), job.delay, std::move(work));
}

void Haupt::startUpJobs() {
    // The jobs armed when the window is created, in the order of their delays.
    arm(kShowLine, [this] { showCurrentLine(); });
    arm(kLoadLines, [this] { loadDayLines(); });
    arm(kTillDifference, [this] { tillCountDifference(); });
    arm(kRecompute, [this] { recomputeDayView(); });
    arm(kCarriedIn, [this] { showCarriedIn(); });
}

template <typename Dialog> int Haupt::runModal(Dialog& dialog) {
    if (QScreen* s = QGuiApplication::primaryScreen())
        dialog.move(s->geometry().center() - dialog.rect().center());
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

    auto place = [this](QWidget* w, const char* name, int x, int y, int wd, int h) {
        w->setParent(surface_);
        w->setObjectName(QLatin1String(name));
        w->setGeometry(x, y, wd, h);
        return w;
    };
    auto label = [&](const QString& text, const char* name, int x, int y, int w, int h) {
        auto* l = new QLabel(text);
        place(l, name, x, y, w, h);
        return l;
    };
    auto button = [&](const QString& text, const char* name, int x, int y, int w, int h) {
        auto* b = new QPushButton(text);
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        place(b, name, x, y, w, h);
        return b;
    };

    // Day list and the day's display.
    dayModel_ =
        new DataViewModel(days_.view(), {QStringLiteral("a1")}, {QStringLiteral("Datum")}, this);
    dayList_ = new QTableView;
    dayList_->setModel(dayModel_);
    dayList_->setAccessibleName(QStringLiteral("Datum"));
    dayList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    dayList_->setSelectionMode(QAbstractItemView::SingleSelection);
    dayList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dayList_->horizontalHeader()->setStretchLastSection(true);
    dayList_->verticalHeader()->setDefaultSectionSize(22);
    dayList_->verticalHeader()->setFixedWidth(14);
    place(dayList_, "DBGrid1", 10, 10, 184, 372);
    connect(dayList_, &QTableView::clicked, this,
            [this](const QModelIndex& i) { chooseDayRow(i.row()); });
    connect(dayList_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this] { findOrCreateDay(); });

    auto* find =
        button(QStringLiteral("Tag suchen oder anlegen (F3)"), "Command1", 10, 388, 184, 28);
    connect(find, &QPushButton::clicked, this, &Haupt::findOrCreateDay);
    auto* del = button(QStringLiteral("Tag löschen"), "Command2", 10, 420, 184, 28);
    connect(del, &QPushButton::clicked, this, &Haupt::deleteDay);

    auto* dateLabel = new ClickLabel;
    dateLabel->clicked = [this] { findOrCreateDay(); };
    date_ = dateLabel;
    place(date_, "Text1", 10, 456, 120, 24);
    date_->setAccessibleName(QStringLiteral("Datum"));
    date_->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 2px;"
                                        " font-weight: bold;"));
    weekday_ = label(QString(), "Label3", 134, 456, 60, 24);
    weekday_->setAccessibleName(QStringLiteral("Wochentag"));
    weekday_->setAlignment(Qt::AlignCenter);
    label(QStringLiteral("Kassenbestand vom  Vortag:"), "Label4", 10, 486, 184, 18);
    carriedIn_ = label(QStringLiteral("0,00"), "Label5", 10, 504, 184, 22);
    carriedIn_->setAccessibleName(QStringLiteral("Kassenbestand vom  Vortag:"));
    label(QStringLiteral("Tagesbetrag:"), "Label6", 10, 530, 184, 18);
    dayAmount_ = label(QStringLiteral("0,00"), "Text3", 10, 548, 184, 22);
    dayAmount_->setAccessibleName(QStringLiteral("Tagesbetrag:"));
    label(QStringLiteral("aktueller Bestand (Soll):"), "Label7", 10, 574, 184, 18);
    balance_ = label(QStringLiteral("0,00"), "Label8", 10, 592, 184, 24);
    balance_->setAccessibleName(QStringLiteral("aktueller Bestand (Soll):"));
    for (QLabel* l : {carriedIn_, dayAmount_, balance_}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 1px "
                                        "4px; font-weight: bold;"));
    }

    // The tabs: lines of the day and the till count.
    tabs_ = new QTabWidget;
    place(tabs_, "SSTab1", 204, 6, 786, 376);
    auto* book = new QWidget;
    auto* bookLayout = new QVBoxLayout(book);
    bookLayout->setContentsMargins(4, 4, 4, 4);
    bookLayout->setSpacing(2);
    lineModel_ = new DataViewModel(
        lines_, kLineColumns,
        {QStringLiteral("Beleg"), QStringLiteral("Datum"), QStringLiteral("Buchungstext"),
         QStringLiteral("Bemerkung"), QStringLiteral("St 1"), QStringLiteral("St 2"),
         QStringLiteral("Einnahme"), QStringLiteral("Ausgabe"), QString()},
        this);
    lineModel_->setRightAligned({0, 4, 5, 6, 7, 8});
    lineGrid_ = new QTableView;
    lineGrid_->setObjectName(QStringLiteral("DBGrid2"));
    lineGrid_->setAccessibleName(QStringLiteral("Buchungen"));
    lineGrid_->setModel(lineModel_);
    lineGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lineGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    lineGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lineGrid_->verticalHeader()->setDefaultSectionSize(22);
    lineGrid_->verticalHeader()->setFixedWidth(14);
    lineGrid_->horizontalHeader()->setHighlightSections(false);
    lineGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lineGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(lineGrid_, &QTableView::clicked, this,
            [this](const QModelIndex& i) { lines_.moveTo(i.row()); });
    connect(lineGrid_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        lines_.moveTo(i.row());
        openCancellationPanel();
    });
    bookLayout->addWidget(lineGrid_, 1);
    totalsRow_ = new QWidget;
    totalsRow_->setFixedHeight(24);
    const QStringList totalNames{"St 1", "St 2", "Einnahme", "Ausgabe", "Beleg"};
    for (int k = 0; k < 5; ++k) {
        auto* t = new QLabel(QStringLiteral("0,00"), totalsRow_);
        t->setObjectName(QStringLiteral("Label2_%1").arg(k + 1));
        t->setAccessibleName(QStringLiteral("Summe ") + totalNames[k]);
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 0 "
                                        "3px; font-weight: bold;"));
        totals_[static_cast<size_t>(k)] = t;
    }
    bookLayout->addWidget(totalsRow_);
    tabs_->addTab(book, QStringLiteral("Kassenbuch Bargeschäfte"));
    auto* till = new QWidget;
    buildTillCount(till);
    tabs_->addTab(till, QStringLiteral("Kassenaufnahme / Kassenabschluss"));

    // New entry and the two modes.
    auto* neu = button(QStringLiteral("Eintrag  NEU  (F4)"), "Command3", 204, 388, 160, 30);
    connect(neu, &QPushButton::clicked, this, &Haupt::newEntry);
    auto* texts = button(QStringLiteral("Buchungstext anlegen"), "Command5", 370, 388, 170, 30);
    connect(texts, &QPushButton::clicked, this, [this] { openBookingTextPicker(true); });
    optEdit_ = new QRadioButton(QStringLiteral("Modus Bearbeiten"));
    place(optEdit_, "Option1", 560, 392, 150, 22);
    optNew_ = new QRadioButton(QStringLiteral("Modus Neuanlage"));
    place(optNew_, "Option2", 720, 392, 150, 22);
    optEdit_->setChecked(true);
    connect(optEdit_, &QRadioButton::toggled, this, [this](bool on) {
        if (!on)
            return;
        s_.scheduler->disarm(QLatin1String(kPressNew.name));
        panel_->hide();
        dayList_->setFocus();
    });
    connect(optNew_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            arm(kPressNew, [this] { newEntry(); });
    });

    buildEntryPanel();
    buildQueryFrame();
    buildMenus();
    // The design positions are the reference the window scales from.
    surface_->resize(kDesignWidth, kDesignHeight);
    resizeWindow_ = std::make_unique<WidgetResizeWindow>(this, surface_);
    resize_.registerWindow(*resizeWindow_);
}

void Haupt::buildEntryPanel() {
    panel_ = new QFrame(surface_);
    panel_->setObjectName(QStringLiteral("Frame1"));
    panel_->setGeometry(204, 424, 786, 120);
    panel_->setFrameShape(QFrame::StyledPanel);
    panel_->setAutoFillBackground(true);
    const QStringList names{"Status",  "Buchungstext", "Bemerkung", "erledigt", "Einnahme",
                            "Ausgabe", "MwSt.-Satz",   "MwSt.",     "Beleg"};
    for (int i = 0; i < 9; ++i) {
        auto* f = new QLineEdit(panel_);
        f->setObjectName(QStringLiteral("Text5_%1").arg(i));
        f->setAccessibleName(names[i]);
        fields_[static_cast<size_t>(i)] = f;
        if (i == 0 || i == 3 || i == 6 || i == 7)
            f->hide(); // holders the operator does not see
    }
    for (int i : {4, 5, 8})
        fields_[static_cast<size_t>(i)]->setAlignment(Qt::AlignRight);

    rate_ = new QComboBox(panel_);
    rate_->setEditable(true);
    rate_->setObjectName(QStringLiteral("Combo1"));
    rate_->setAccessibleName(QStringLiteral("MwSt.-Satz"));
    connect(rate_, &QComboBox::activated, this, [this] {
        EntryValues v = readEntry();
        entry_.rateChosen(v);
        writeEntry(v);
    });
    rate2_ = new QComboBox(panel_);
    rate2_->setObjectName(QStringLiteral("Combo2"));
    rate2_->setAccessibleName(QStringLiteral("MwSt.-Satz 2"));
    rate2_->setEditable(true);
    vatBox_ = new QLineEdit(panel_);
    vatBox_->setObjectName(QStringLiteral("Text6"));
    vatBox_->setAccessibleName(QStringLiteral("MwSt.-Betrag"));
    vatBox2_ = new QLineEdit(panel_);
    vatBox2_->setObjectName(QStringLiteral("Text7"));
    vatBox2_->setAccessibleName(QStringLiteral("MwSt.-Betrag 2"));
    for (QLineEdit* box : {vatBox_, vatBox2_}) {
        box->setAlignment(Qt::AlignRight);
        connect(box, &QLineEdit::editingFinished, this, [box] {
            if (const auto m = countedAmount(box->text()))
                box->setText(m->toText());
        });
    }
    rate2_->hide();
    vatBox2_->hide();

    stateLabel_ = new QLabel(kBearbeiten, panel_);
    stateLabel_->setObjectName(QStringLiteral("Label1"));
    stateLabel_->setAlignment(Qt::AlignCenter);
    stateLabel_->setAccessibleName(QStringLiteral("Status"));
    countLabel_ = new QLabel(panel_);
    countLabel_->setObjectName(QStringLiteral("Label11"));
    hint_ = new QLabel(QStringLiteral("Eintrag speichern mit Enter"), panel_);
    hint_->hide();

    auto mk = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, panel_);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        return b;
    };
    btnSave_ = mk(QStringLiteral("speichern"), "Command6");
    btnCancel_ = mk(QStringLiteral("abbrechen"), "Command7");
    btnDeleteLine_ = mk(QStringLiteral("Zeile löschen"), "Command4");
    btnStorno_ = mk(QStringLiteral("Stornieren"), "Command20");
    connect(btnSave_, &QPushButton::clicked, this, &Haupt::saveEntry);
    connect(btnCancel_, &QPushButton::clicked, this, &Haupt::cancelEntry);
    connect(btnDeleteLine_, &QPushButton::clicked, this, &Haupt::deleteLine);
    connect(btnStorno_, &QPushButton::clicked, this, &Haupt::cancelLine);
    btnDeleteLine_->hide();
    btnStorno_->hide();
    setState(kBearbeiten);
    panel_->hide();
}

void Haupt::buildTillCount(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    const QStringList captions{"500",  "200",  "100",  "50",   "20",   "10",   "5",   "2,00",
                               "1,00", "0,50", "0,20", "0,10", "0,05", "0,02", "0,01"};
    grid->addWidget(new QLabel(QStringLiteral("<b>Scheine</b>")), 0, 0, 1, 5);
    int row = 1;
    for (int i = 0; i < 15; ++i) {
        if (i == 7)
            grid->addWidget(new QLabel(QStringLiteral("<b>Münzen</b>")), row++, 0, 1, 5);
        auto* count = new QLineEdit;
        count->setObjectName(QStringLiteral("Text2_%1").arg(i + 1));
        count->setAccessibleName(QStringLiteral("Anzahl ") + captions[i]);
        count->setProperty("arrayIndex", i + 1);
        count->setMaximumWidth(70);
        count->setAlignment(Qt::AlignRight);
        counts_[static_cast<size_t>(i)] = count;
        auto* total = new QLabel(QStringLiteral("0,00"));
        total->setMinimumWidth(90);
        total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lineTotals_[static_cast<size_t>(i)] = total;
        grid->addWidget(count, row, 0);
        grid->addWidget(new QLabel(QStringLiteral("x")), row, 1);
        auto* denomination = new QLabel(captions[i]);
        denomination->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(denomination, row, 2);
        grid->addWidget(new QLabel(QStringLiteral("=")), row, 3);
        grid->addWidget(total, row, 4);
        connect(count, &QLineEdit::textChanged, this, [this] {
            serviceCodeChanged();
            arm(kTillDifference, [this] { tillCountDifference(); });
        });
        ++row;
    }
    auto figure = [&](const QString& caption, int r) {
        auto* l = new QLabel(QStringLiteral("0,00"));
        l->setAccessibleName(caption);
        l->setMinimumWidth(110);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 1px "
                                        "4px; font-weight: bold;"));
        grid->addWidget(new QLabel(caption), r, 6);
        grid->addWidget(l, r, 7);
        return l;
    };
    tillCounted_ = figure(QStringLiteral("Zählprotokoll (ist):"), 2);
    tillExpected_ = figure(QStringLiteral("Kassenbestand (soll):"), 3);
    tillDifference_ = figure(QStringLiteral("Differenz:"), 4);
    auto* print = new QPushButton(QStringLiteral("Zählprotokoll drucken"));
    print->setObjectName(QStringLiteral("Command16"));
    grid->addWidget(print, 6, 6, 1, 2);
    grid->setColumnStretch(5, 1);
    grid->setColumnStretch(8, 1);
    grid->setRowStretch(row, 1);
}

void Haupt::buildQueryFrame() {
    auto* frame = new QFrame(surface_);
    frame->setObjectName(QStringLiteral("Frame2"));
    frame->setGeometry(204, 550, 786, 66);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(8, 4, 8, 4);
    auto clickable = [this](const QString& name) {
        auto* l = new ClickLabel;
        l->setAccessibleName(name);
        l->setStyleSheet(
            QStringLiteral("background: white; border: 1px solid gray; padding: 2px;"));
        l->setCursor(Qt::PointingHandCursor);
        return l;
    };
    auto* start = clickable(QStringLiteral("vom"));
    auto* end = clickable(QStringLiteral("bis"));
    start->setObjectName(QStringLiteral("Label9"));
    end->setObjectName(QStringLiteral("Label10"));
    start->clicked = [this] {
        QDate d = s_.clock->today();
        if (dialogs_.getDate(d))
            periodStart_->setText(cashdate::toText(d));
        listingKind_ = QStringLiteral("Zeitraum");
    };
    end->clicked = [this] {
        QDate d = s_.clock->today();
        if (dialogs_.getDate(d))
            periodEnd_->setText(cashdate::toText(d));
    };
    periodStart_ = start;
    periodEnd_ = end;
    grid->addWidget(new QLabel(QStringLiteral("vom")), 0, 0);
    grid->addWidget(periodStart_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("bis")), 0, 2);
    grid->addWidget(periodEnd_, 0, 3);
    auto* all = new QPushButton(QStringLiteral("alle Positionen anzeigen"));
    all->setObjectName(QStringLiteral("Command13"));
    auto* allTimes = new QPushButton(QStringLiteral("alle Zeiten"));
    allTimes->setObjectName(QStringLiteral("Command14"));
    connect(allTimes, &QPushButton::clicked, this, [this] {
        periodStart_->setText(QStringLiteral("01.01.2012"));
        periodEnd_->setText(QStringLiteral("31.12.2099"));
        listingKind_ = QStringLiteral("alle");
        lineGrid_->setFocus();
    });
    grid->addWidget(all, 0, 4);
    grid->addWidget(allTimes, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("nach Buchungstext selektieren")), 1, 0, 1, 2);
    combo4_ = new QComboBox;
    combo4_->setObjectName(QStringLiteral("Combo4"));
    combo4_->setAccessibleName(QStringLiteral("nach Buchungstext selektieren"));
    combo4_->setEditable(true);
    grid->addWidget(combo4_, 1, 2, 1, 2);
    auto* print = new QPushButton(QStringLiteral("Kassenbuch drucken"));
    print->setObjectName(QStringLiteral("Command15"));
    auto* csv = new QPushButton(QStringLiteral("CSV-Export"));
    csv->setObjectName(QStringLiteral("Command17"));
    grid->addWidget(print, 1, 4);
    grid->addWidget(csv, 1, 5);
    grid->setColumnStretch(6, 1);
}

void Haupt::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("Datei"));
    file->addAction(QStringLiteral("Datensicherung"))
        ->setObjectName(QStringLiteral("mnu_Sicherung"));
    file->addAction(QStringLiteral("Datenkorrektur"))
        ->setObjectName(QStringLiteral("mnu_Korrektur"));
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Beenden")), &QAction::triggered, this, &Haupt::close);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("Einstellungen"));
    QAction* columns = settings->addAction(QStringLiteral("Spalten"));
    columns->setVisible(false);
    connect(columns, &QAction::triggered, this, [this] { openSettingsDialog(false); });
    connect(settings->addAction(QStringLiteral("Kassenbestand")), &QAction::triggered, this,
            &Haupt::openFloatDialog);
    connect(settings->addAction(QStringLiteral("Vorgaben")), &QAction::triggered, this,
            [this] { openSettingsDialog(true); });
    connect(settings->addAction(QStringLiteral("Passwort ändern")), &QAction::triggered, this,
            &Haupt::openPasswordChange);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Hilfe"));
    help->addAction(QStringLiteral("Anleitung"));
    help->addAction(QStringLiteral("Info"));
    help->addAction(QStringLiteral("Online-Update"));
}

void Haupt::layoutColumns() {
    // Column widths follow the grid's width; totals and entry fields sit under their columns.
    QHeaderView* header = lineGrid_->horizontalHeader();
    const int available = lineGrid_->viewport()->width();
    int shareSum = 0;
    for (int c = 0; c < 9; ++c)
        if (!lineGrid_->isColumnHidden(c))
            shareSum += kColumnShares[static_cast<size_t>(c)];
    if (shareSum == 0 || available <= 0)
        return;
    int used = 0;
    int lastVisible = 0;
    for (int c = 0; c < 9; ++c)
        if (!lineGrid_->isColumnHidden(c))
            lastVisible = c;
    for (int c = 0; c < 9; ++c) {
        if (lineGrid_->isColumnHidden(c))
            continue;
        int w = available * kColumnShares[static_cast<size_t>(c)] / shareSum;
        if (c == lastVisible)
            w = available - used;
        header->resizeSection(c, w);
        used += w;
    }
    auto xOf = [&](int column, QWidget* target) {
        const QPoint inWindow =
            lineGrid_->viewport()->mapTo(this, QPoint(header->sectionViewportPosition(column), 0));
        return target->mapFrom(this, inWindow).x();
    };
    for (int k = 0; k < 5; ++k) {
        QLabel* t = totals_[static_cast<size_t>(k)];
        t->setGeometry(xOf(k + 4, totalsRow_), 1, header->sectionSize(k + 4), 22);
    }
    // The entry fields under their columns, the controls of the panel below them.
    const int top = 30;
    const int h = 24;
    auto under = [&](QWidget* w, int column) {
        w->setGeometry(xOf(column, panel_), top, header->sectionSize(column), h);
    };
    under(fields_[8], 0);
    under(fields_[1], 2);
    under(fields_[2], 3);
    under(vatBox_, 4);
    under(vatBox2_, 5);
    under(fields_[4], 6);
    under(fields_[5], 7);
    const int x1 = xOf(1, panel_);
    const int w1 = header->sectionSize(1);
    rate_->setGeometry(x1, top, w1, h);
    rate2_->setGeometry(x1, top + h + 4, w1, h);
    stateLabel_->setGeometry(8, 4, 160, 22);
    countLabel_->setGeometry(180, 4, 160, 22);
    hint_->setGeometry(360, 4, 250, 22);
    const int by = panel_->height() - 34;
    int bx = panel_->width() - 8;
    for (QPushButton* b : {btnCancel_, btnSave_}) {
        bx -= 110;
        b->setGeometry(bx, by, 104, 28);
    }
    btnStorno_->setGeometry(bx - 110, by, 104, 28);
    btnDeleteLine_->setGeometry(8, by, 120, 28);
}

void Haupt::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (!resizeWindow_)
        return;
    resize_.resizeWindow(*resizeWindow_);
    layoutColumns();
}

// ---------------------------------------------------------------- activation and settings

void Haupt::activate() {
    settings_.reload();
    applySettings();
    fillBookingTextSelector();
    if (!panel_->isVisible())
        arm(kRecompute, [this] { recomputeDayView(); });
    if (!isMaximized() && isVisible())
        showMaximized();
    listingKind_ = QStringLiteral("Tag");
    lineModel_->setHeading(4, QStringLiteral("Steuer ") + settings_.rate1() + QLatin1Char('%'));
    lineModel_->setHeading(5, QStringLiteral("Steuer ") + settings_.rate2() + QLatin1Char('%'));
    guard_.setCurrentPassword(passwordFromMemo(settings_.memo10()));
}

void Haupt::applySettings() {
    for (int k = 1; k <= 5; ++k) {
        const QString caption = settings_.caption(k);
        const bool on = !caption.isEmpty();
        lineModel_->setHeading(k + 3, caption);
        lineGrid_->setColumnHidden(k + 3, !on);
        totals_[static_cast<size_t>(k - 1)]->setVisible(on);
        QWidget* field = nullptr;
        if (k == 1)
            field = vatBox_;
        else if (k == 3)
            field = fields_[4];
        else if (k == 4)
            field = fields_[5];
        if (field)
            field->setVisible(on);
    }
    const int rateIndex = rate_->currentIndex();
    const QString rateText = rate_->currentText();
    rate_->clear();
    rate_->addItems({settings_.rate1(), settings_.rate2(), QStringLiteral("0")});
    if (rateIndex < 0)
        rate_->setCurrentIndex(-1);
    rate_->setEditText(rateText);
    layoutColumns();
}

void Haupt::fillBookingTextSelector() {
    const QString current = combo4_->currentText();
    combo4_->clear();
    combo4_->addItems(BookingTexts::openLineTexts(*s_.db));
    combo4_->setEditText(current);
}

// ---------------------------------------------------------------- days

void Haupt::dayChanged() {
    const QString date = days_.currentDate();
    date_->setText(date);
    const QDate d = cashdate::fromText(date);
    weekday_->setText(d.isValid() ? cashdate::weekdayShort(d) : QString());
    const int row = days_.view().position();
    if (row >= 0 && row < dayModel_->rowCount())
        dayList_->selectRow(row);
    arm(kLoadLines, [this] { loadDayLines(); });
}

void Haupt::chooseDayRow(int row) {
    days_.view().moveTo(row);
    arm(kLoadLines, [this] { loadDayLines(); });
    panel_->hide();
    btnDeleteLine_->hide();
    lines_.cancelAdd();
    setState(kBearbeiten);
    arm(kRecompute, [this] { recomputeDayView(); });
    listingKind_ = QStringLiteral("Tag");
    combo4_->setCurrentIndex(-1);
    combo4_->setEditText(QString());
    tabs_->setTabEnabled(1, true);
    arm(kCarriedIn, [this] { showCarriedIn(); });
}

void Haupt::findOrCreateDay() {
    const CashDays::FindOutcome r = days_.findOrCreate();
    dayModel_->reload();
    if (days_.view().position() >= 0)
        dayList_->selectRow(days_.view().position());
    activate();
    switch (r) {
    case CashDays::FindOutcome::Declined:
        dayList_->setFocus();
        break;
    case CashDays::FindOutcome::Created:
        lineGrid_->setFocus();
        arm(kAfterDayCreated, [this] { afterDayCreated(); });
        break;
    default:
        break;
    }
}

void Haupt::afterDayCreated() {
    // The day just created stays current (the list is re-read in its newest-first order).
    const qint64 id = days_.currentDayId();
    days_.refresh();
    days_.view().findId(id);
    dayModel_->reload();
    dayList_->selectRow(days_.view().position());
    arm(kStartLineOnNewDay, [this] { startLineOnNewDay(); });
}

void Haupt::startLineOnNewDay() {
    // The first line of a new day is an ordinary new line; line deletion only with the code.
    btnDeleteLine_->setVisible(serviceCode());
    openNewLine();
}

void Haupt::deleteDay() {
    const CashDays::DeleteOutcome r = days_.deleteDay(guard_);
    dayModel_->reload();
    if (r == CashDays::DeleteOutcome::Deleted || r == CashDays::DeleteOutcome::Declined)
        dayList_->setFocus();
    if (r == CashDays::DeleteOutcome::Deleted)
        dayChanged();
}

// ---------------------------------------------------------------- jobs of the day view

void Haupt::loadDayLines() {
    lines_.setSource(linesSource(), {days_.currentDate()});
    lines_.refresh();
    lineModel_->reload();
    arm(kRecompute, [this] { recomputeDayView(); });
}

void Haupt::setMoney(QLabel* label, Money m) {
    label->setText(m.toText());
    const bool negative = label->text().startsWith(QLatin1Char('-'));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, negative ? QColor(255, 0, 0) : QColor(0, 0, 0));
    label->setPalette(p);
    label->setProperty("negative", negative);
}

void Haupt::recomputeDayView() {
    const DayTotals t = computeDayTotals(lines_);
    setMoney(totals_[0], t.vat1);
    setMoney(totals_[1], t.vat2);
    setMoney(totals_[2], t.receipts);
    setMoney(totals_[3], t.payments);
    setMoney(totals_[4], t.receiptNumbers);

    // The day amount is stored with the day.
    setMoney(dayAmount_, t.dayAmount());
    setMoney(tillExpected_, t.dayAmount());
    DataView& dv = days_.view();
    if (!dv.atEnd() && dv.value(QStringLiteral("a3")) != t.dayAmount().toText()) {
        dv.setValue(QStringLiteral("a3"), t.dayAmount().toText());
        dv.update();
    }
    // Moving the focus while an entry is open would pull the operator out of it.
    if (!panel_->isVisible())
        lineGrid_->setFocus();

    const Money floatAmount = Money::parseOrZero(settings_.floatText());
    const BalanceResult b = RunningBalance::recompute(*s_.db, floatAmount);
    setMoney(balance_, b.balance);
    setMoney(tillExpected_, b.balance);
    if (b.written > 0) {
        // Re-read the stored balances of the listed lines without moving the current line.
        const qint64 current = lines_.id();
        const bool adding = lines_.isAdding();
        if (!adding) {
            lines_.refresh();
            lines_.findId(current);
            lineModel_->reload();
        }
    }
    arm(kTillDifference, [this] { tillCountDifference(); });
}

void Haupt::showCarriedIn() {
    setMoney(carriedIn_, carriedInBalance(lines_));
}

void Haupt::tillCountDifference() {
    static const std::array<int, 15> cents{50000, 20000, 10000, 5000, 2000, 1000, 500, 200,
                                           100,   50,    20,    10,   5,    2,    1};
    Money counted;
    for (size_t i = 0; i < 15; ++i) {
        // The service code is no count; any text that is no whole number counts as nothing.
        bool ok = false;
        const qint64 n = counts_[i]->text().toLongLong(&ok);
        const Money line = Money::fromCents(ok && !(i == 0 && serviceCode()) ? n * cents[i] : 0);
        lineTotals_[i]->setText(line.toText());
        counted += line;
    }
    setMoney(tillCounted_, counted);
    setMoney(tillDifference_, counted - Money::parseOrZero(tillExpected_->text()));
}

// ---------------------------------------------------------------- entry panel

EntryValues Haupt::readEntry() const {
    EntryValues v = hidden_;
    for (int i : {1, 2, 4, 5, 8})
        v.field[static_cast<size_t>(i)] = fields_[static_cast<size_t>(i)]->text();
    v.rate = rate_->currentText();
    v.rate2 = rate2_->currentText();
    v.vatBox = vatBox_->text();
    v.vatBox2 = vatBox2_->text();
    return v;
}

void Haupt::writeEntry(const EntryValues& v) {
    hidden_ = v;
    for (int i = 0; i < 9; ++i)
        fields_[static_cast<size_t>(i)]->setText(v.field[static_cast<size_t>(i)]);
    rate_->setEditText(v.rate);
    rate2_->setEditText(v.rate2);
    vatBox_->setText(v.vatBox);
    vatBox2_->setText(v.vatBox2);
}

bool Haupt::serviceCode() const {
    return counts_[0]->text() == kServiceCode;
}

QString Haupt::stateLabelText() const {
    return stateLabel_->text();
}

void Haupt::setState(const QString& text) {
    stateLabel_->setText(text);
    const QColor c = text == kNeuanlage ? QColor(192, 255, 192) : QColor(255, 192, 192);
    stateLabel_->setStyleSheet(
        QStringLiteral("background: %1; border: 1px solid gray;").arg(c.name()));
    stateLabel_->setProperty("stateColor", c);
}

void Haupt::setFieldsEnabled(bool on) {
    for (int i : {8, 1, 2, 3, 4, 5})
        fields_[static_cast<size_t>(i)]->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{rate_, rate2_, vatBox_, vatBox2_})
        w->setEnabled(on);
}

void Haupt::newEntry() {
    if (!serviceCode()) {
        if (days_.ensureBusinessDay())
            dayModel_->reload();
        arm(kNewLine, [this] { openNewLine(); });
        return;
    }
    arm(kEntryState, [this] { entryFieldState(); });
    if (cashdate::toText(s_.clock->today()) != days_.currentDate()) {
        if (dialogs_.message(QStringLiteral("Der ausgewählte Tag ist nicht heute. Möchten Sie den "
                                            "Tag ändern ?"),
                             QStringLiteral("Tag wählen"), Icon::Exclamation,
                             Buttons::YesNo) == Answer::Yes) {
            findOrCreateDay();
            return;
        }
    }
    if (days_.view().isEmpty()) {
        dialogs_.message(QStringLiteral("Es muss zunächst ein Tag angelegt werden"), {},
                         Icon::Information);
        optEdit_->setChecked(true);
        return;
    }
    openNewLine();
}

void Haupt::openNewLine() {
    lines_.setSource(linesSource(), {days_.currentDate()});
    lines_.refresh();
    lineModel_->reload();
    panel_->show();
    lines_.addNew();
    EntryValues v = readEntry();
    v.field = {};
    // A VAT amount left over from the line shown before must not go into the new one.
    v.vatBox.clear();
    v.vatBox2.clear();
    writeEntry(v);
    fields_[1]->setFocus();
    setState(kNeuanlage);
    setFieldsEnabled(true);
    btnSave_->show();
    btnStorno_->hide();
    rate2_->hide();
    vatBox2_->hide();
    openBookingTextPicker(false);
    fields_[4]->setFocus();
}

void Haupt::takeOverBookingText(const QString& text) {
    fields_[1]->setText(text);
    if (rate_->currentText().isEmpty())
        rate_->setEditText(settings_.rate1());
    arm(kFocusRemark, [this] { fields_[2]->setFocus(); });
}

void Haupt::saveEntry() {
    EntryValues v = readEntry();
    if (!entry_.checkAndAdvance(v))
        return;
    arm(kSaveLine, [this, v] {
        if (!entry_.writeLine(lines_, v, days_.currentDate()))
            return;
        lineModel_->reload();
        if (optNew_->isChecked())
            arm(kPressNew, [this] { newEntry(); });
    });
    panel_->hide();
    btnDeleteLine_->hide();
    setState(kBearbeiten);
    arm(kRecompute, [this] { recomputeDayView(); });
}

void Haupt::cancelEntry() {
    panel_->hide();
    btnDeleteLine_->hide();
    lines_.cancelAdd();
    setState(kBearbeiten);
}

void Haupt::showCurrentLine() {
    if (lines_.isAdding())
        return;
    EntryValues v = readEntry();
    entry_.showLine(lines_, v);
    writeEntry(v);
    countLabel_->setText(QString::number(lines_.recordCount()) + QStringLiteral(" Buchungen"));
    rate2_->setVisible(v.twoRates);
    vatBox2_->setVisible(v.twoRates);
    rate_->setEnabled(!v.twoRates);
    rate2_->setEnabled(!v.twoRates);
    if (serviceCode()) {
        btnDeleteLine_->show();
        fields_[8]->setEnabled(true);
    }
    const int row = lines_.position();
    if (row >= 0 && row < lineModel_->rowCount())
        lineGrid_->selectRow(row);
}

void Haupt::entryFieldState() {
    if (stateLabel_->text() == kNeuanlage) {
        setFieldsEnabled(true);
        if (serviceCode())
            btnDeleteLine_->show();
        btnSave_->show();
        btnStorno_->hide();
        if (!serviceCode())
            btnSave_->hide();
        return;
    }
    setFieldsEnabled(false);
    btnSave_->hide();
    btnStorno_->show();
}

void Haupt::unlockEditing() {
    setFieldsEnabled(true);
    btnSave_->show();
    btnStorno_->hide();
}

void Haupt::serviceCodeChanged() {
    if (serviceCode()) {
        btnDeleteLine_->show();
        arm(kUnlockEditing, [this] { unlockEditing(); });
    } else {
        btnDeleteLine_->hide();
    }
}

void Haupt::toggleDone() {
    if (lines_.atEnd() || lines_.isAdding())
        return;
    if (lines_.value(QStringLiteral("a3")) != QLatin1String("V")) {
        lines_.setValue(QStringLiteral("a3"), QStringLiteral("V"));
        lines_.setValue(QStringLiteral("a12"), QString());
    } else {
        lines_.setValue(QStringLiteral("a3"), QStringLiteral(" "));
        lines_.setValue(QStringLiteral("a12"), QStringLiteral("O"));
    }
    lines_.update();
    lineModel_->reload();
    fillBookingTextSelector();
}

// ---------------------------------------------------------------- cancellation

void Haupt::openCancellationPanel() {
    if (lines_.atEnd() || lines_.isAdding())
        return;
    showCurrentLine();
    panel_->show();
    setState(kStornieren);
    arm(kEntryState, [this] { entryFieldState(); });
}

void Haupt::cancelLine() {
    const Cancellation::Outcome r =
        cancellation_.cancel(lines_, rate_->currentText(), days_.currentDate());
    if (r == Cancellation::Outcome::Declined) {
        lineGrid_->setFocus();
        return;
    }
    if (r != Cancellation::Outcome::Done)
        return;
    // The business day exists; the list is re-read with the newest day current.
    days_.insertDay(cashdate::toText(CashDays::businessDate(s_.clock->now())));
    arm(kRecompute, [this] { recomputeDayView(); });
    panel_->hide();
    setState(kStornieren);
    days_.refresh();
    dayModel_->reload();
}

void Haupt::deleteLine() {
    if (cancellation_.deleteLine(lines_, guard_) == Cancellation::DeleteOutcome::NotAllowed)
        return;
    loadDayLines();
    cancelEntry();
    lineGrid_->setFocus();
    arm(kRecompute, [this] { recomputeDayView(); });
}

// ---------------------------------------------------------------- menus

void Haupt::openFloatDialog() {
    if (!guard_.allow())
        return;
    Kassenbestand dlg(s_.db, dialogs_, this);
    runModal(dlg);
    settings_.reload();
    arm(kRecompute, [this] { recomputeDayView(); });
}

void Haupt::openSettingsDialog(bool guarded) {
    if (guarded && !guard_.allow())
        return;
    Vorgaben dlg(s_.db, dialogs_, this);
    dlg.serviceCodeActive = [this] { return serviceCode(); };
    runModal(dlg);
}

void Haupt::openPasswordChange() {
    Passwort_aendern dlg(dialogs_, settings_, guard_.currentPassword(), this);
    dlg.exec();
    if (dlg.change().stage() == PasswordChange::Stage::Done)
        guard_.setCurrentPassword(dlg.change().currentPassword());
}

// ---------------------------------------------------------------- keys and end

bool Haupt::eventFilter(QObject* o, QEvent* e) {
    // Installed on the application: the window sees keys before its controls do.
    auto* w = qobject_cast<QWidget*>(o);
    for (int i = 0; i < 9; ++i) {
        if (o != fields_[static_cast<size_t>(i)])
            continue;
        if (e->type() == QEvent::FocusIn)
            fieldFocusIn(i);
        else if (e->type() == QEvent::FocusOut)
            fieldFocusOut(i);
    }
    if (o == btnSave_ && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut))
        hint_->setVisible(e->type() == QEvent::FocusIn);
    if (e->type() != QEvent::KeyPress || !w || w->window() != this)
        return QMainWindow::eventFilter(o, e);

    auto* k = static_cast<QKeyEvent*>(e);
    switch (k->key()) {
    case Qt::Key_F3:
        findOrCreateDay();
        return true;
    case Qt::Key_F4:
        newEntry();
        return true;
    case Qt::Key_F9:
        toggleDone();
        return true;
    case Qt::Key_Escape:
        cancelEntry();
        dayList_->setFocus();
        return true;
    default:
        break;
    }
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (o == dayList_ && enter) {
        lineGrid_->setFocus();
        return true;
    }
    if (o == lineGrid_ && enter) {
        openCancellationPanel();
        return true;
    }
    for (int i = 0; i < 9; ++i)
        if (o == fields_[static_cast<size_t>(i)])
            return entryKey(i, k);
    return QMainWindow::eventFilter(o, e);
}

bool Haupt::entryKey(int field, QKeyEvent* k) {
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (enter) {
        switch (field) {
        case 1:
            fields_[2]->setFocus();
            break;
        case 2:
            fields_[4]->setFocus();
            break;
        case 4:
            fields_[5]->setFocus();
            break;
        case 5:
        case 8:
            btnSave_->setFocus();
            break;
        default:
            break;
        }
        return true;
    }
    const int key = k->key();
    const bool navigation = key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Shift ||
                            key == Qt::Key_Control || key == Qt::Key_Alt;
    if (field == 1) {
        if (navigation)
            return false;
        // The booking text is never typed: any key opens the picker.
        openBookingTextPicker(false);
        return true;
    }
    if (field == 4 || field == 5 || field == 8) {
        if (navigation || key == Qt::Key_Backspace || key == Qt::Key_Left || key == Qt::Key_Right ||
            key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Delete)
            return false;
        QLineEdit* f = fields_[static_cast<size_t>(field)];
        if (!BookingEntry::isAmountKey(k->text()))
            return true;
        const QString typed = k->text() == QLatin1String(".") ? QStringLiteral(",") : k->text();
        if (typed == QLatin1String(",") && f->text().isEmpty()) {
            f->setText(QStringLiteral("0,"));
            f->setCursorPosition(2);
            return true;
        }
        f->insert(typed);
        return true;
    }
    return false;
}

void Haupt::fieldFocusIn(int field) {
    QLineEdit* f = fields_[static_cast<size_t>(field)];
    f->setStyleSheet(QStringLiteral("background: rgb(255,255,0);"));
    QTimer::singleShot(0, f, &QLineEdit::selectAll);
    if (settings_.nextReceipt().isEmpty())
        settings_.setNextReceipt(QStringLiteral("0"));
    if (field == 8) {
        EntryValues v = readEntry();
        entry_.receiptFieldEntered(v);
        fields_[8]->setText(v.field[8]);
    }
}

void Haupt::fieldFocusOut(int field) {
    QLineEdit* f = fields_[static_cast<size_t>(field)];
    EntryValues v = readEntry();
    entry_.fieldLeft(v);
    f->setStyleSheet(QStringLiteral("background: rgb(255,255,255);"));
    if ((field == 4 || field == 5) && panel_->isVisible() && !closing_) {
        if (!entry_.amountFieldLeft(v)) {
            writeEntry(v);
            panel_->hide();
            return;
        }
    }
    writeEntry(v);
}

void Haupt::closeEvent(QCloseEvent* e) {
    closing_ = true;
    s_.store->save(SettingsStore::startup(), paths::kPeriodStartKey, periodStart_->text());
    s_.store->save(SettingsStore::startup(), paths::kPeriodEndKey, periodEnd_->text());
    qApp->removeEventFilter(this);
    e->accept();
    QMainWindow::closeEvent(e);
    if (onClosed) {
        auto done = std::move(onClosed);
        onClosed = nullptr;
        done();
    }
}

} // namespace tb
