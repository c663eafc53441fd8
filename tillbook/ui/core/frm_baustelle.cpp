#include "frm_baustelle.h"

#include "data_view_model.h"
#include "schema.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tb {

frm_Baustelle::frm_Baustelle(Database* db, Dialogs& dialogs, Role role, QWidget* parent)
    : QDialog(parent), texts_(db, dialogs), role_(role) {
    setObjectName(QStringLiteral("frm_Baustelle"));
    setWindowTitle(QStringLiteral("Buchungstext"));
    setStyleSheet(QStringLiteral("QDialog { background: rgb(215,235,255); }"));
    resize(380, 460);

    search_ = new QLineEdit;
    search_->setAccessibleName(QStringLiteral("Suche"));
    search_->installEventFilter(this);

    texts_.refresh();
    model_ = new DataViewModel(texts_.view(), {schema::Texts::text},
                               {QStringLiteral("Kunde / Baustelle")}, this);
    table_ = new QTableView;
    table_->setModel(model_);
    table_->setAccessibleName(QStringLiteral("Kunde / Baustelle"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(22);
    table_->installEventFilter(this);
    table_->setFocusPolicy(Qt::ClickFocus);

    auto* take = new QPushButton(QStringLiteral("übernehmen"));
    auto* del = new QPushButton(QStringLiteral("löschen"));
    take->setAutoDefault(false);
    del->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(take);
    buttons->addStretch();
    buttons->addWidget(del);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Suchen:")));
    layout->addWidget(search_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& t) {
        texts_.view().moveFirst();
        texts_.search(t);
        syncSelection();
    });
    connect(table_, &QTableView::clicked, this, [this](const QModelIndex& i) {
        texts_.view().moveTo(i.row());
        search_->setFocus();
    });
    connect(take, &QPushButton::clicked, this, &frm_Baustelle::takeOver);
    connect(del, &QPushButton::clicked, this, &frm_Baustelle::deleteText);
    search_->setFocus();
    syncSelection();
}

void frm_Baustelle::preselect(const QString& entryText) {
    texts_.view().moveFirst();
    texts_.search(entryText);
    syncSelection();
}

void frm_Baustelle::syncSelection() {
    const int row = texts_.view().position();
    if (row >= 0 && row < model_->rowCount()) {
        table_->selectRow(row);
        table_->scrollTo(model_->index(row, 0));
    } else {
        table_->clearSelection();
    }
}

void frm_Baustelle::takeOver() {
    const auto text = texts_.takeOver(search_->text());
    model_->reload();
    syncSelection();
    if (!text) {
        search_->setFocus();
        return;
    }
    emit textTakenOver(*text);
    if (role_ == Role::Choose) {
        accept();
        return;
    }
    search_->clear();
    search_->setFocus();
}

void frm_Baustelle::deleteText() {
    texts_.remove();
    model_->reload();
    syncSelection();
    search_->setFocus();
}

bool frm_Baustelle::eventFilter(QObject* o, QEvent* e) {
    if (o == table_ && e->type() == QEvent::FocusIn) {
        // The list never keeps the focus; typing always goes to the search field.
        search_->setFocus();
        return false;
    }
    if (o == search_ && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        switch (k->key()) {
        case Qt::Key_Down:
            texts_.next();
            syncSelection();
            return true;
        case Qt::Key_Up:
            texts_.previous();
            syncSelection();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            takeOver();
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
