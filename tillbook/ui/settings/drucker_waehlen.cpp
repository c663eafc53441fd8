#include "drucker_waehlen.h"

#include "enter_presses.h"
#include "key_filter.h"
#include "print_layout.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tb {

Drucker_waehlen::Drucker_waehlen(Dialogs& dialogs, const QStringList& printers, QString& current,
                                 int copies, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), current_(current), copies_(copies) {
    setObjectName(QStringLiteral("Drucker_waehlen"));
    setWindowTitle(QStringLiteral(" Drucker wählen"));
    list_ = new QComboBox;
    list_->setObjectName(QStringLiteral("Combo1"));
    list_->setAccessibleName(QStringLiteral("Drucker"));
    list_->addItems(printers);
    list_->setCurrentIndex(std::max(0, static_cast<int>(printers.indexOf(current))));
    // The entry shown is the one printed to: where the current printer has gone from the
    // system, the entry shown in its place.
    if (list_->currentIndex() >= 0)
        current_ = list_->currentText();
    // Choosing a printer makes it the current one, also when the window is then cancelled.
    connect(list_, &QComboBox::currentTextChanged, this,
            [this](const QString& t) { current_ = t; });
    if (copies_ == 0)
        copies_ = 1;
    field_ = new QLineEdit(QString::number(copies_));
    field_->setObjectName(QStringLiteral("Text1"));
    field_->setAccessibleName(QStringLiteral("Anzahl Kopien "));
    field_->installEventFilter(
        new NumericKeyFilter(QStringLiteral("0123456789,-."), dialogs, this));
    field_->installEventFilter(this); // after the filter, so Enter and Escape come here first
    ok_ = new QPushButton(QStringLiteral("OK"));
    cancel_ = new QPushButton(QStringLiteral("Abbrechen"));
    for (QPushButton* b : {ok_, cancel_}) {
        b->setAutoDefault(false);
        b->setAccessibleName(b->text());
        enterPresses(b);
    }
    connect(ok_, &QPushButton::clicked, this, &Drucker_waehlen::ok);
    connect(cancel_, &QPushButton::clicked, this, &Drucker_waehlen::cancel);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Drucker"), list_);
    form->addRow(QStringLiteral("Anzahl Kopien "), field_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    field_->setFocus();
}

void Drucker_waehlen::ok() {
    const int copies = copiesOf(field_->text());
    if (copies > kMaxCopies) {
        // Refused, the window stays open for a smaller number.
        dialogs_.message(PrintMessages::tooManyCopies(), QStringLiteral("Fehler"),
                         Icon::Exclamation);
        field_->setFocus();
        field_->selectAll();
        return;
    }
    copies_ = copies;
    accept();
}

void Drucker_waehlen::cancel() {
    copies_ = 0;
    QDialog::reject();
}

bool Drucker_waehlen::eventFilter(QObject* o, QEvent* e) {
    if (o == field_ && e->type() == QEvent::FocusIn)
        QTimer::singleShot(0, field_, &QLineEdit::selectAll);
    if (o == field_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ok();
            return true;
        }
        if (key == Qt::Key_Escape) {
            cancel();
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
