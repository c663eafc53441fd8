#include "line_page.h"

#include "data_view_model.h"
#include "row_grid.h"
#include "schema.h"
#include "value_display.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace tb {

namespace {
// Share of the grid's width per column.
constexpr std::array<int, 9> kColumnShares{7, 10, 19, 20, 9, 9, 10, 10, 6};
} // namespace

const QStringList& LinePage::columns() {
    using schema::Lines;
    static const QStringList c{Lines::number,  Lines::date,    Lines::text,
                               Lines::remark,  Lines::vat1,    Lines::vat2,
                               Lines::receipt, Lines::payment, Lines::number};
    return c;
}

LinePage::LinePage(DataView& lines, QWidget* parent) : QWidget(parent), lines_(lines) {
    setObjectName(QStringLiteral("LinePage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    model_ = new DataViewModel(lines_, columns(),
                               {QStringLiteral("Beleg"), QStringLiteral("Datum"),
                                QStringLiteral("Buchungstext"), QStringLiteral("Bemerkung"),
                                QStringLiteral("St 1"), QStringLiteral("St 2"),
                                QStringLiteral("Einnahme"), QStringLiteral("Ausgabe"), QString()},
                               this);
    model_->setRightAligned({0, 4, 5, 6, 7, 8});
    grid_ = new RowGrid;
    grid_->setObjectName(QStringLiteral("DBGrid2"));
    grid_->setAccessibleName(QStringLiteral("Buchungen"));
    grid_->setModel(model_);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->installEventFilter(this);
    connect(grid_, &QTableView::clicked, this,
            [this](const QModelIndex& i) { emit rowClicked(i.row()); });
    connect(grid_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { emit rowActivated(i.row()); });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (!syncing_ && now.isValid())
                    emit currentRowChanged(now.row());
            });
    layout->addWidget(grid_, 1);

    totalsRow_ = new QWidget;
    totalsRow_->setFixedHeight(24);
    const QStringList names{"St 1", "St 2", "Einnahme", "Ausgabe", "Beleg"};
    for (int k = 0; k < 5; ++k) {
        auto* t = new ValueDisplay(QStringLiteral("Summe ") + names[k], ValueDisplay::Colour::Plain,
                                   totalsRow_);
        t->setObjectName(QStringLiteral("Label2_%1").arg(k + 1));
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 0 "
                                        "3px; font-weight: bold;"));
        t->setValue(QStringLiteral("0,00"));
        totals_[static_cast<size_t>(k)] = t;
    }
    layout->addWidget(totalsRow_);
}

void LinePage::reload() {
    syncing_ = true;
    model_->reload();
    syncing_ = false;
    showCurrent();
}

void LinePage::showCurrent() {
    const int row = lines_.position();
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        grid_->selectRow(row);
        grid_->scrollTo(model_->index(row, 0));
    } else {
        grid_->clearSelection();
    }
    syncing_ = false;
}

void LinePage::setHeading(int column, const QString& heading) {
    model_->setHeading(column, heading);
}

void LinePage::setColumnVisible(int k, bool on) {
    grid_->setColumnHidden(k + 3, !on);
    total(k)->setVisible(on);
}

QRect LinePage::columnRect(int column, const QWidget* target) const {
    const QHeaderView* header = grid_->horizontalHeader();
    const QPoint at =
        grid_->viewport()->mapTo(window(), QPoint(header->sectionViewportPosition(column), 0));
    return QRect(target->mapFrom(window(), at).x(), 0, header->sectionSize(column), 0);
}

void LinePage::layoutColumns() {
    QHeaderView* header = grid_->horizontalHeader();
    const int available = grid_->viewport()->width();
    int shareSum = 0;
    int lastVisible = 0;
    for (int c = 0; c < 9; ++c) {
        if (grid_->isColumnHidden(c))
            continue;
        shareSum += kColumnShares[static_cast<size_t>(c)];
        lastVisible = c;
    }
    if (shareSum == 0 || available <= 0)
        return;
    int used = 0;
    for (int c = 0; c < 9; ++c) {
        if (grid_->isColumnHidden(c))
            continue;
        int w = available * kColumnShares[static_cast<size_t>(c)] / shareSum;
        if (c == lastVisible)
            w = available - used;
        header->resizeSection(c, w);
        used += w;
    }
    for (int k = 0; k < 5; ++k) {
        const QRect r = columnRect(k + 4, totalsRow_);
        totals_[static_cast<size_t>(k)]->setGeometry(r.x(), 1, r.width(), 22);
    }
}

void LinePage::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layoutColumns();
}

bool LinePage::eventFilter(QObject* o, QEvent* e) {
    if (o == grid_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit rowActivated(lines_.position());
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

} // namespace tb
