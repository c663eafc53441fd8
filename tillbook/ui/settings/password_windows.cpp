#include "password_windows.h"

#include "passwords.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

static QLineEdit* starField() {
    auto* f = new QLineEdit;
    f->setEchoMode(QLineEdit::Password);
    // Every typed character shows as "*", not as the style's dot.
    f->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    QFont font = f->font();
    font.setBold(true);
    f->setFont(font);
    return f;
}

Passwort_check::Passwort_check(QString currentPassword, QWidget* parent)
    : QDialog(parent), password_(std::move(currentPassword)) {
    setObjectName(QStringLiteral("Passwort_check"));
    setWindowTitle(QStringLiteral("Passwort"));
    auto* label = new QLabel(QStringLiteral("Bitte geben Sie Ihr Passwort ein."));
    field_ = starField();
    field_->setAccessibleName(QStringLiteral("Passwort"));
    field_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(field_);
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (t == password_) {
            granted_ = true;
            accept();
        }
    });
    resize(300, 90);
}

bool Passwort_check::eventFilter(QObject* o, QEvent* e) {
    if (o == field_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            field_->clear();
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

Passwort_aendern::Passwort_aendern(Dialogs& dialogs, SettingsRecord& settings,
                                   const QString& current, QWidget* parent)
    : QDialog(parent), change_(dialogs, settings, current) {
    setObjectName(QStringLiteral("Passwort_aendern"));
    setWindowTitle(QStringLiteral("Passwort ändern"));
    label1_ = new QLabel(QStringLiteral("Bitte geben Sie das alte Passwort ein"));
    field1_ = starField();
    field1_->setAccessibleName(QStringLiteral("Passwort"));
    label2_ = new QLabel(QStringLiteral("Bitte wiederholen Sie das neue Passwort"));
    field2_ = starField();
    field2_->setAccessibleName(QStringLiteral("Bitte wiederholen Sie das neue Passwort"));
    ok1_ = new QPushButton(QStringLiteral("OK"));
    ok2_ = new QPushButton(QStringLiteral("OK"));
    ok1_->setAutoDefault(false);
    ok2_->setAutoDefault(false);
    auto* help = new QLabel(
        QStringLiteral("Das Standard-Passwort ist \"Hutwart\". Falls Sie zum ersten mal ein "
                       "Passwort einrichten, geben Sie bitte dieses als altes Passwort ein.\n\n"
                       "Um die Passwortfunktion wieder zu deaktivieren, wählen Sie wieder das "
                       "Standardpasswort \"Hutwart\""));
    help->setWordWrap(true);
    help->setFixedWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(field1_);
    layout->addWidget(ok1_);
    layout->addWidget(label2_);
    layout->addWidget(field2_);
    layout->addWidget(ok2_);
    layout->addWidget(help);
    label2_->hide();
    field2_->hide();
    ok2_->hide();
    field1_->installEventFilter(this);
    field2_->installEventFilter(this);
    connect(ok1_, &QPushButton::clicked, this, &Passwort_aendern::confirmOld);
    connect(ok2_, &QPushButton::clicked, this, &Passwort_aendern::confirmNew);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Passwort_aendern::confirmOld() {
    if (!change_.submitOld(field1_->text())) {
        field1_->clear();
        return;
    }
    label1_->setText(QStringLiteral("Bitte geben Sie das neue Passwort ein"));
    field1_->clear();
    label2_->show();
    field2_->show();
    ok2_->show();
    ok1_->hide();
    field1_->setFocus();
}

void Passwort_aendern::confirmNew() {
    const bool ok = change_.submitNew(field1_->text(), field2_->text());
    field1_->clear();
    field2_->clear();
    if (ok)
        accept();
    else
        field1_->setFocus();
}

bool Passwort_aendern::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(o, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QDialog::eventFilter(o, e);
    if (change_.stage() == PasswordChange::Stage::Old)
        confirmOld();
    else if (o == field1_)
        field2_->setFocus();
    else
        confirmNew();
    return true;
}

} // namespace tb
