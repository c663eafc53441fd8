#include "zaehlungen.h"

#include "cp1252.h"
#include "csv_export.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tb {

Zaehlungen::Zaehlungen(Database& db, Dialogs& dialogs, QString dataPath, DocumentPrinter* printer,
                       QWidget* parent)
    : QDialog(parent), db_(db), dialogs_(dialogs), dataPath_(std::move(dataPath)),
      printer_(printer), counts_(StoredCounts::read(db)) {
    setObjectName(QStringLiteral("Zaehlungen"));
    setWindowTitle(QStringLiteral("Zählungen"));
    const QStringList headings = StoredCounts::listHeadings();
    table_ = new QTableWidget(static_cast<int>(counts_.size()), static_cast<int>(headings.size()));
    table_->setAccessibleName(QStringLiteral("Zählungen"));
    table_->setHorizontalHeaderLabels(headings);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    // Newest first: the count just kept is the one looked for.
    for (size_t i = 0; i < counts_.size(); ++i) {
        const QStringList cells = StoredCounts::listRow(counts_[counts_.size() - 1 - i]);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(static_cast<int>(i), c, item);
        }
    }
    table_->resizeColumnsToContents();
    if (!counts_.empty())
        table_->selectRow(0);
    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setAccessibleName(caption);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* protocol = button(QStringLiteral("Zählprotokoll drucken"));
    QPushButton* list = button(QStringLiteral("Liste drucken"));
    QPushButton* exp = button(QStringLiteral("Export"));
    QPushButton* close = button(QStringLiteral("Schließen"));
    connect(protocol, &QPushButton::clicked, this, &Zaehlungen::printProtocol);
    connect(list, &QPushButton::clicked, this, &Zaehlungen::printList);
    connect(exp, &QPushButton::clicked, this, &Zaehlungen::exportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {protocol, list, exp, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(640, 420);
}

void Zaehlungen::printProtocol() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(counts_.size())) {
        dialogs_.message(QStringLiteral("Bitte wählen Sie eine Zählung aus."),
                         QStringLiteral("Zählungen"), Icon::Information);
        return;
    }
    const StoredCount& c = counts_[counts_.size() - 1 - static_cast<size_t>(row)];
    if (printer_)
        printer_->printOne(protocolOf(c, currency),
                           QStringLiteral("Zählprotokoll Nr. %1.pdf").arg(c.number));
}

void Zaehlungen::printList() {
    if (printer_)
        printer_->printOne(listPages(counts_), QStringLiteral("Zählungen.pdf"));
}

void Zaehlungen::exportCsv() {
    CsvExport::save(csv(counts_), QStringLiteral("Zählungen.csv"), dataPath_, workFolder, dialogs_);
}

PrintDocument Zaehlungen::protocolOf(const StoredCount& c, const QString& currency) {
    TillFigures f;
    f.counts = c.counts;
    for (int line = 1; line <= TillCount::kLines; ++line)
        f.lineTotals[static_cast<size_t>(line - 1)] =
            TillCount::lineTotal(line, c.counts[static_cast<size_t>(line - 1)], {});
    f.expected = c.book.toText();
    f.counted = c.counted.toText();
    f.difference = c.difference.toText();
    f.storedTitle = c.title();
    return countingProtocol(f, currency,
                            QDateTime::fromString(c.moment, QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

PrintDocument Zaehlungen::listPages(const std::vector<StoredCount>& counts) {
    PrintDocument doc;
    const double xs[] = {20, 35, 75, 140, 165, 190};
    constexpr double kTop = 30, kBottom = 280, kStep = 5;
    double y = kBottom;
    const QStringList headings = StoredCounts::listHeadings();
    auto row = [&](const QStringList& cells, bool bold) {
        if (y + kStep > kBottom) {
            doc.pages.emplace_back();
            Page& p = doc.pages.back();
            p.texts.push_back({QStringLiteral("Zählungen"), 20, 15, 12, true});
            p.texts.push_back(
                {QStringLiteral("Seite %1").arg(doc.pages.size()), 190, 15, 10, false, true});
            y = kTop;
            if (!bold) {
                for (int c = 0; c < headings.size(); ++c)
                    p.texts.push_back({headings[c], xs[c], y, 10, true, c >= 3});
                y += kStep;
            }
        }
        for (int c = 0; c < cells.size(); ++c)
            doc.pages.back().texts.push_back({cells[c], xs[c], y, 10, bold, c >= 3});
        y += kStep;
    };
    if (counts.empty())
        row(headings, true);
    for (const StoredCount& c : counts)
        row(StoredCounts::listRow(c), false);
    return doc;
}

QString Zaehlungen::csv(const std::vector<StoredCount>& counts) {
    const QString crlf = QStringLiteral("\r\n");
    QString t = StoredCounts::listHeadings().join(QLatin1Char(';')) + crlf;
    for (const StoredCount& c : counts) {
        QStringList cells = StoredCounts::listRow(c);
        for (QString& cell : cells)
            cell = CsvExport::quoted(cell);
        t += cells.join(QLatin1Char(';')) + crlf;
    }
    return t;
}

} // namespace tb
