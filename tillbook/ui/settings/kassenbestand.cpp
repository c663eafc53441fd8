#include "kassenbestand.h"

#include "booking_entry.h"
#include "change_log.h"
#include "enter_presses.h"
#include "key_filter.h"
#include "money.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

QString Kassenbestand::storedForm(const QString& typed) {
    return typed.isEmpty() ? QStringLiteral("0") : typed;
}

bool Kassenbestand::isStorable(const QString& typed) {
    const auto m = Money::parse(storedForm(typed));
    return m && *m <= kMaxLineAmount && -*m <= kMaxLineAmount;
}

Kassenbestand::Kassenbestand(Database* db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), settings_(db), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Kassenbestand"));
    setWindowTitle(QStringLiteral("Bestand der Wechselkasse"));
    setStyleSheet(QStringLiteral("QDialog { background: rgb(215,235,255); }"));
    field_ = new QLineEdit(settings_.floatText());
    field_->setAccessibleName(QStringLiteral("Bestand der Wechselkasse"));
    QFont f = field_->font();
    f.setPointSize(f.pointSize() * 2);
    field_->setFont(f);
    field_->setAlignment(Qt::AlignRight);
    field_->installEventFilter(
        new NumericKeyFilter(QStringLiteral("0123456789,-."), dialogs, this));
    // Installed last, so it sees the keys first: a typed "." is the decimal comma.
    field_->installEventFilter(this);
    save_ = new QPushButton(QStringLiteral("speichern"));
    save_->setObjectName(QStringLiteral("Command1"));
    save_->setAccessibleName(save_->text());
    save_->setAutoDefault(false);
    enterPresses(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field_);
    layout->addWidget(save_);
    connect(save_, &QPushButton::clicked, this, &Kassenbestand::save);
    field_->selectAll();
    resize(320, 120);
}

bool Kassenbestand::eventFilter(QObject* o, QEvent* e) {
    if (o == field_ && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->text() == QLatin1String(".")) {
        field_->insert(QStringLiteral(","));
        return true;
    }
    return QDialog::eventFilter(o, e);
}

bool Kassenbestand::save() {
    if (hasMoreThanTwoDecimals(field_->text())) {
        dialogs_.message(BookingEntry::tooManyDecimalsMessage(field_->text()),
                         QStringLiteral("Fehler"), Icon::Critical);
        field_->setFocus();
        field_->selectAll();
        return false;
    }
    if (!isStorable(field_->text())) {
        // Stored as typed it would count as 0 in every balance without a word.
        dialogs_.message(QStringLiteral("Der Bestand der Wechselkasse ist kein gültiger Betrag. "
                                        "Bitte geben Sie ihn z. B. als 150,00 ein."),
                         QStringLiteral("Fehler"), Icon::Critical);
        field_->setFocus();
        field_->selectAll();
        return false;
    }
    if (balanceGuard_ &&
        !balanceGuard_->allowsFloat(Money::parseOrZero(settings_.floatText()),
                                    Money::parseOrZero(storedForm(field_->text())))) {
        field_->setFocus();
        field_->selectAll();
        return false;
    }
    changelog::ReasonScope reason(settings_.database(), changelog::Reason::Float);
    settings_.setFloatText(storedForm(field_->text()));
    settings_.save();
    accept();
    return true;
}

} // namespace tb
