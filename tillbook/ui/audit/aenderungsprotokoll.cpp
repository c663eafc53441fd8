#include "aenderungsprotokoll.h"

#include "csv_export.h"
#include "enter_presses.h"
#include "printing.h"
#include "progress_window.h"
#include "trail_report.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_map>

namespace tb {

// The listed entries: only their numbers are held; a row is read when it is shown, so a log
// of a million entries opens at once.
class TrailModel : public QAbstractTableModel {
  public:
    TrailModel(Database& db, QObject* parent) : QAbstractTableModel(parent), db_(db) {}

    void setNumbers(std::vector<qint64> numbers) {
        beginResetModel();
        numbers_ = std::move(numbers);
        cache_.clear();
        endResetModel();
    }
    const std::vector<qint64>& numbers() const { return numbers_; }
    // While the check works on the file in the background, rows not read yet stay empty.
    void setHeld(bool held) { held_ = held; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(numbers_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 7;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        static const char* const captions[] = {"Nr.",   "Zeitpunkt", "Art",     "Zeile",
                                               "Beleg", "Datum",     "Änderung"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 7)
            return QString::fromUtf8(captions[section]);
        return QAbstractTableModel::headerData(section, o, role);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::TextAlignmentRole)
            return {};
        if (role == Qt::TextAlignmentRole)
            return index.column() == 0 || index.column() == 3 || index.column() == 4
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant();
        const LogEntry* e = entryAt(index.row());
        if (!e)
            return {};
        if (role == Qt::ToolTipRole)
            return index.column() == 6 ? AuditTrail::changeText(*e) : QVariant();
        return cell(*e, index.column());
    }
    static QString cell(const LogEntry& e, int column) {
        switch (column) {
        case 0:
            return QString::number(e.number);
        case 1:
            return e.momentText();
        case 2:
            return AuditTrail::kindWithReason(e);
        case 3:
            return e.ref > 0 ? QString::number(e.ref) : QString();
        case 4:
            return e.receipt;
        case 5:
            return e.date;
        default:
            return AuditTrail::changeText(e);
        }
    }
    const LogEntry* entryAt(int row) const {
        if (row < 0 || static_cast<size_t>(row) >= numbers_.size())
            return nullptr;
        const qint64 number = numbers_[static_cast<size_t>(row)];
        const auto it = cache_.find(number);
        if (it != cache_.end())
            return &it->second;
        if (held_)
            return nullptr;
        if (cache_.size() > 4000)
            cache_.clear(); // a few screens' worth is kept
        auto e = AuditTrail::entry(db_, number);
        if (!e)
            return nullptr;
        return &cache_.emplace(number, std::move(*e)).first->second;
    }

  private:
    Database& db_;
    std::vector<qint64> numbers_;
    mutable std::unordered_map<qint64, LogEntry> cache_;
    bool held_ = false;
};

Aenderungsprotokoll::Aenderungsprotokoll(Database& db, Dialogs& dialogs, QString dataPath,
                                         DocumentPrinter* printer, QWidget* parent)
    : QDialog(parent), db_(db), dialogs_(dialogs), dataPath_(std::move(dataPath)),
      printer_(printer) {
    setObjectName(QStringLiteral("Aenderungsprotokoll"));
    setWindowTitle(QStringLiteral("Änderungsprotokoll"));
    runner = [this](const QString& title, const LongWork<LogCheck>& work) {
        return runWithProgress<LogCheck>(this, title, work, 1000, true);
    };

    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        b->setAutoDefault(false);
        enterPresses(b);
        return b;
    };
    from_ = button(QString());
    to_ = button(QString());
    all_ = button(QStringLiteral("&alle Zeiten"));
    kind_ = new QComboBox(this);
    kind_->setAccessibleName(QStringLiteral("Art"));
    kind_->addItem(QStringLiteral("alle Arten"), 0);
    for (int k = 1; k <= changelog::kLastKind; ++k)
        kind_->addItem(AuditTrail::kindText(k), k);
    auto* kindLabel = new QLabel(QStringLiteral("A&rt:"), this);
    kindLabel->setBuddy(kind_);

    model_ = new TrailModel(db_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("Protokolleinträge"));
    table_->setAccessibleName(QStringLiteral("Einträge des Änderungsprotokolls"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {60, 150, 290, 60, 60, 90};
    for (int c = 0; c < 6; ++c)
        table_->setColumnWidth(c, widths[c]);

    check_ = button(QStringLiteral("&Prüfen"));
    print_ = button(QStringLiteral("&Drucken"));
    export_ = button(QStringLiteral("&Export (CSV)"));
    close_ = button(QStringLiteral("&Schließen"));
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setAccessibleName(QStringLiteral("Stand des Protokolls"));

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("Zeitraum:"), this));
    filterRow->addWidget(from_);
    filterRow->addWidget(to_);
    filterRow->addWidget(all_);
    filterRow->addSpacing(20);
    filterRow->addWidget(kindLabel);
    filterRow->addWidget(kind_);
    filterRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(check_);
    buttons->addWidget(print_);
    buttons->addWidget(export_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    connect(from_, &QPushButton::clicked, this, &Aenderungsprotokoll::chooseFrom);
    connect(to_, &QPushButton::clicked, this, &Aenderungsprotokoll::chooseTo);
    connect(all_, &QPushButton::clicked, this, &Aenderungsprotokoll::allTimes);
    connect(kind_, &QComboBox::activated, this, [this](int i) {
        LogFilter f = filter_;
        f.kind = kind_->itemData(i).toInt();
        setFilter(f);
    });
    connect(check_, &QPushButton::clicked, this, &Aenderungsprotokoll::check);
    connect(print_, &QPushButton::clicked, this, &Aenderungsprotokoll::printList);
    connect(export_, &QPushButton::clicked, this, &Aenderungsprotokoll::exportCsv);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(table_, check_);
    resize(1100, 600);
    reload();
    table_->setFocus();
}

Aenderungsprotokoll::~Aenderungsprotokoll() = default;

void Aenderungsprotokoll::setFilter(const LogFilter& f) {
    filter_ = f;
    reload();
}

void Aenderungsprotokoll::reload() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->setNumbers(AuditTrail::numbers(db_, filter_));
    QApplication::restoreOverrideCursor();
    from_->setText(QStringLiteral("von: ") +
                   (filter_.from.isValid() ? filter_.from.toString(QStringLiteral("dd.MM.yyyy"))
                                           : QStringLiteral("Anfang")));
    to_->setText(QStringLiteral("bis: ") + (filter_.to.isValid()
                                                ? filter_.to.toString(QStringLiteral("dd.MM.yyyy"))
                                                : QStringLiteral("heute")));
    from_->setAccessibleName(QStringLiteral("Zeitraum ") + from_->text());
    to_->setAccessibleName(QStringLiteral("Zeitraum ") + to_->text());
    const int at = kind_->findData(filter_.kind);
    kind_->setCurrentIndex(at < 0 ? 0 : at);
    const LogHead head = AuditTrail::head(db_);
    const qint64 shown = static_cast<qint64>(model_->numbers().size());
    status_->setText(head.entries == 0
                         ? QStringLiteral("Dieses Kassenbuch führt noch kein Änderungsprotokoll.")
                         : QStringLiteral("%1 von %2 Einträgen angezeigt, letzte Prüfsumme %3")
                               .arg(AuditTrail::grouped(shown), AuditTrail::grouped(head.entries),
                                    head.shortHash()));
    if (shown > 0)
        table_->selectRow(0);
}

QDate Aenderungsprotokoll::today() const {
    return clock ? clock->today() : SystemClock().today();
}

void Aenderungsprotokoll::chooseFrom() {
    QDate d = filter_.from.isValid() ? filter_.from : today();
    if (!dialogs_.getDate(d, QStringLiteral("Protokoll ab")))
        return;
    LogFilter f = filter_;
    f.from = d;
    if (f.to.isValid() && f.to < d)
        f.to = d;
    setFilter(f);
}

void Aenderungsprotokoll::chooseTo() {
    QDate d = filter_.to.isValid() ? filter_.to : today();
    if (!dialogs_.getDate(d, QStringLiteral("Protokoll bis")))
        return;
    LogFilter f = filter_;
    f.to = d;
    if (f.from.isValid() && f.from > d)
        f.from = d;
    setFilter(f);
}

void Aenderungsprotokoll::allTimes() {
    LogFilter f = filter_;
    f.from = f.to = QDate();
    setFilter(f);
}

void Aenderungsprotokoll::check() {
    // The check reads the file on a worker thread: the table reads nothing meanwhile.
    model_->setHeld(true);
    const LogCheck result = runner(QStringLiteral("Änderungsprotokoll prüfen"),
                                   [this](Progress& p) { return LogCheck::run(db_, p); });
    model_->setHeld(false);
    dialogs_.message(result.text(), QStringLiteral("Änderungsprotokoll prüfen"),
                     result.whole() ? Icon::Information : Icon::Exclamation);
}

std::vector<LogEntry> Aenderungsprotokoll::listed() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<LogEntry> entries = AuditTrail::read(db_, filter_);
    std::reverse(entries.begin(), entries.end()); // newest first, as listed
    QApplication::restoreOverrideCursor();
    return entries;
}

void Aenderungsprotokoll::printList() {
    if (model_->numbers().empty()) {
        dialogs_.message(QStringLiteral("Keine Daten vorhanden"), {}, Icon::Information);
        return;
    }
    // A whole long log is thousands of pages: the operator confirms it.
    constexpr size_t kMany = 3000;
    if (model_->numbers().size() > kMany &&
        dialogs_.message(QStringLiteral("Es werden %1 Einträge gedruckt, das sind einige hundert "
                                        "Seiten. Mit dem Zeitraum und der Art lässt sich die "
                                        "Auswahl eingrenzen.\n\nTrotzdem drucken?")
                             .arg(AuditTrail::grouped(qint64(model_->numbers().size()))),
                         QStringLiteral("Drucken"), Icon::Question, Buttons::YesNo) != Answer::Yes)
        return;
    const int copies = dialogs_.choosePrinter(Printing::currentPrinter(), 1);
    if (copies <= 0 || !printer_)
        return;
    const QString title = TrailReport::title(filter_);
    const PrintDocument pages = TrailReport::pages(listed(), title, AuditTrail::head(db_));
    printer_->print([&](int) { return pages; }, copies, title + QStringLiteral(".pdf"));
}

void Aenderungsprotokoll::exportCsv() {
    if (model_->numbers().empty()) {
        dialogs_.message(QStringLiteral("Keine Daten vorhanden"), {}, Icon::Information);
        return;
    }
    CsvExport::save(TrailReport::csv(listed()),
                    TrailReport::title(filter_) + QStringLiteral(".csv"), dataPath_, workFolder,
                    dialogs_);
}

QString Aenderungsprotokoll::rowText(int row) const {
    const LogEntry* e = model_->entryAt(row);
    if (!e)
        return {};
    QStringList cells;
    for (int c = 0; c < 7; ++c)
        cells << TrailModel::cell(*e, c);
    return cells.join(QStringLiteral(" | "));
}

} // namespace tb
