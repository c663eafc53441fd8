#include "vorgaben.h"

#include "cash_date.h"
#include "change_log.h"
#include "click_label.h"
#include "enter_presses.h"
#include "key_filter.h"
#include "renumbering.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tb {

Vorgaben::Vorgaben(Database* db, Dialogs& dialogs, VorgabenHost* host, QWidget* parent)
    : QDialog(parent), db_(db), host_(host), dialogs_(dialogs), settings_(db) {
    setObjectName(QStringLiteral("Vorgaben"));
    setWindowTitle(QStringLiteral("Vorgaben"));
    setStyleSheet(QStringLiteral("QDialog { background: rgb(215,235,255); }"));

    auto field = [](const QString& value, const QString& name) {
        auto* f = new QLineEdit(value);
        f->setAccessibleName(name);
        return f;
    };
    rate1_ = field(settings_.rate1(), QStringLiteral("MwSt.-Satz 1"));
    rate2_ = field(settings_.rate2(), QStringLiteral("MwSt.-Satz 2"));
    currency_ = field(settings_.currency(), QStringLiteral("Währung"));
    receipt_ = field(settings_.nextReceipt(), QStringLiteral("Beleg-Nr."));
    receipt_->installEventFilter(new NumericKeyFilter(QStringLiteral("0123456789"), dialogs, this));
    // What is pasted is held to the same rule as what is typed: digits, at most nine of them.
    receipt_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,9}")), receipt_));

    auto* x = new ClickLabel;
    connect(x, &ClickLabel::clicked, this, &Vorgaben::toggleTaxSwitch);
    xSwitch_ = x;
    xSwitch_->setText(settings_.taxSwitch());
    xSwitch_->setFixedSize(18, 18);
    xSwitch_->setAlignment(Qt::AlignCenter);
    xSwitch_->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray;"));
    xSwitch_->setAccessibleName(QStringLiteral("Ausgabe der Steuer beim Drucken unterdrücken"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("MwSt.-Satz 1"), rate1_);
    form->addRow(QStringLiteral("MwSt.-Satz 2"), rate2_);
    form->addRow(QStringLiteral("Währung"), currency_);
    form->addRow(QStringLiteral("Beleg-Nr."), receipt_);
    auto* xRow = new QHBoxLayout;
    xRow->addWidget(xSwitch_);
    xRow->addWidget(new QLabel(QStringLiteral("Ausgabe der Steuer beim Drucken unterdrücken")));
    xRow->addStretch();

    auto* columns = new QGroupBox(QStringLiteral("Spalten"));
    auto* colLayout = new QVBoxLayout(columns);
    colLayout->addWidget(new QLabel(QStringLiteral(
        " Felder sind  aktiv, wenn Zeichen eingegeben sind.  (Reihenfolge beachten)")));
    for (int k = 1; k <= 5; ++k) {
        auto* c = field(settings_.caption(k), QStringLiteral("Spalte %1").arg(k));
        c->installEventFilter(this);
        captions_[static_cast<size_t>(k - 1)] = c;
        colLayout->addWidget(c);
    }

    // The receipt renumbering: a service function, shown only with the service code.
    renumber_ = new QGroupBox(QStringLiteral("Belegnummern neu vergeben"));
    renumber_->setObjectName(QStringLiteral("Frame1"));
    auto* range = new QGridLayout(renumber_);
    auto dateField = [this](const char* name, const QString& caption) {
        auto* f = new ClickLabel;
        f->setObjectName(QLatin1String(name));
        f->setAccessibleName(caption);
        f->setTextFormat(Qt::PlainText);
        f->setMinimumWidth(110);
        f->setCursor(Qt::PointingHandCursor);
        f->setStyleSheet(
            QStringLiteral("background: white; border: 1px solid gray; padding: 2px;"));
        connect(f, &ClickLabel::clicked, this, [this, f] { pickDate(f); });
        return f;
    };
    from_ = dateField("Label40", QStringLiteral("vom"));
    to_ = dateField("Label42", QStringLiteral("bis zum"));
    start_ = new QPushButton(QStringLiteral("Start"));
    start_->setObjectName(QStringLiteral("Command2"));
    start_->setAccessibleName(start_->text());
    start_->setAutoDefault(false);
    start_->setEnabled(false);
    enterPresses(start_);
    connect(start_, &QPushButton::clicked, this, &Vorgaben::renumber);
    range->addWidget(new QLabel(QStringLiteral("vom")), 0, 0);
    range->addWidget(new QLabel(QStringLiteral("bis zum")), 0, 1);
    range->addWidget(from_, 1, 0);
    range->addWidget(to_, 1, 1);
    range->addWidget(start_, 1, 2);
    renumber_->hide();

    save_ = new QPushButton(QStringLiteral("Speichern"));
    save_->setAutoDefault(false);
    save_->setAccessibleName(save_->text());
    enterPresses(save_);
    save_->installEventFilter(this);
    saveMarker_ = new QLabel;
    saveMarker_->setFixedSize(12, 12);
    saveMarker_->setStyleSheet(QStringLiteral("background: rgb(255,255,0);"));
    saveMarker_->hide();
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(saveMarker_);
    saveRow->addWidget(save_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(xRow);
    layout->addWidget(columns);
    layout->addWidget(renumber_);
    layout->addLayout(saveRow);
    connect(save_, &QPushButton::clicked, this, &Vorgaben::saveAndClose);
    setMinimumWidth(460);
}

void Vorgaben::toggleTaxSwitch() {
    xSwitch_->setText(xSwitch_->text().isEmpty() ? QStringLiteral("X") : QString());
}

void Vorgaben::storeBoundFields() {
    settings_.setRate1(rate1_->text());
    settings_.setRate2(rate2_->text());
    settings_.setCurrency(currency_->text());
    settings_.setNextReceipt(receipt_->text());
    settings_.setTaxSwitch(xSwitch_->text());
}

void Vorgaben::saveAndClose() {
    for (int k = 1; k <= 5; ++k)
        settings_.setCaption(k, caption(k)->text());
    storeBoundFields();
    changelog::ReasonScope reason(settings_.database(), changelog::Reason::Settings);
    settings_.save();
    saved_ = true;
    accept();
}

void Vorgaben::reject() {
    // Closing by the frame or with Escape keeps the bound fields; caption edits are lost.
    if (!saved_) {
        storeBoundFields();
        changelog::ReasonScope reason(settings_.database(), changelog::Reason::Settings);
        settings_.save();
        saved_ = true;
    }
    QDialog::reject();
}

void Vorgaben::revealRenumbering() {
    // Revealed whenever the dialog becomes active with the code standing; nothing hides it.
    if (host_ && host_->serviceCodeActive())
        renumber_->show();
}

void Vorgaben::showEvent(QShowEvent* e) {
    revealRenumbering();
    QDialog::showEvent(e);
}

bool Vorgaben::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        revealRenumbering();
    return QDialog::event(e);
}

void Vorgaben::pickDate(ClickLabel* field) {
    QDate d = clock ? clock->today() : QDate::currentDate();
    if (dialogs_.getDate(d))
        field->setText(cashdate::toText(d));
    if (!from_->text().isEmpty() && !to_->text().isEmpty())
        start_->setEnabled(true);
}

void Vorgaben::renumber() {
    if (!db_ || (host_ && !host_->mayRenumber()))
        return;
    QString receipt = receipt_->text();
    Renumbering renumbering(*db_, dialogs_, settings_);
    const Renumbering::Outcome r = renumbering.run(from_->text(), to_->text(), receipt);
    receipt_->setText(receipt);
    if (r != Renumbering::Outcome::Done)
        return;
    emit renumbered();
    reject(); // closed as by the frame: the bound fields, the new "Beleg-Nr." among them
}

bool Vorgaben::eventFilter(QObject* o, QEvent* e) {
    if (o == save_ && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut))
        saveMarker_->setVisible(e->type() == QEvent::FocusIn);
    for (int k = 1; k <= 5; ++k) {
        QLineEdit* c = caption(k);
        if (o != c)
            continue;
        if (e->type() == QEvent::FocusIn)
            c->setStyleSheet(QStringLiteral("QLineEdit { background: rgb(255,255,0); }"));
        else if (e->type() == QEvent::FocusOut)
            c->setStyleSheet(QStringLiteral("QLineEdit { background: rgb(255,255,255); }"));
        else if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (k < 5)
                    caption(k + 1)->setFocus();
                else
                    save_->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
