#include "datensicherung.h"

#include "enter_presses.h"

#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

namespace {
const QString kReady = QStringLiteral("System bereit ...");
} // namespace

Datensicherung::Datensicherung(Backup& backup, Scheduler& scheduler, QString currentPassword,
                               QWidget* parent)
    : QDialog(parent), backup_(backup), scheduler_(scheduler),
      currentPassword_(std::move(currentPassword)) {
    setObjectName(QStringLiteral("Datensicherung"));
    setWindowTitle(QStringLiteral("Datensicherung"));
    setStyleSheet(QStringLiteral("QDialog { background: rgb(215,235,255); }"));

    auto* menu = new QMenuBar(this);
    QMenu* file = menu->addMenu(QStringLiteral("&Datei"));
    connect(file->addAction(QStringLiteral("&Beenden")), &QAction::triggered, this,
            &Datensicherung::quit);

    auto* dataFrame = new QGroupBox(QStringLiteral("Datendatei:"));
    auto* dataLayout = new QVBoxLayout(dataFrame);
    dataLayout->addWidget(
        new QLabel(QStringLiteral("Datendatei:   von hier werden die Daten gelesen")));
    bezeichnung1_ = new QLabel(backup_.dataPath());
    bezeichnung1_->setObjectName(QStringLiteral("Bezeichnung1"));
    bezeichnung1_->setTextFormat(Qt::PlainText);
    bezeichnung1_->setAccessibleName(QStringLiteral("Datendatei:"));
    bezeichnung1_->setAccessibleDescription(backup_.dataPath());
    bezeichnung1_->setStyleSheet(
        QStringLiteral("background: white; border: 1px solid gray; padding: 3px;"));
    dataLayout->addWidget(bezeichnung1_);

    auto* backupFrame = new QGroupBox(QStringLiteral("Sicherungsdatei:"));
    auto* backupLayout = new QVBoxLayout(backupFrame);
    backupLayout->addWidget(
        new QLabel(QStringLiteral("Sicherungsdatei: in diesem Pfad erfolgt die Datensicherung ")));
    text1_ = new QLineEdit(backup_.field());
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    text1_->setAccessibleName(QStringLiteral("Sicherungsdatei:"));
    text1_->installEventFilter(this);
    backupLayout->addWidget(text1_);

    bezeichnung4_ = new QLabel(kReady);
    bezeichnung4_->setObjectName(QStringLiteral("Bezeichnung4"));
    bezeichnung4_->setTextFormat(Qt::PlainText);
    bezeichnung4_->setAccessibleName(QStringLiteral("Status"));

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
        b->setAutoDefault(false);
        enterPresses(b);
        return b;
    };
    befehl4_ = button(QStringLiteral("Daten  &sichern"), "Befehl4");
    befehl5_ = button(QStringLiteral("Daten  &zurückschreiben"), "Befehl5");
    command1_ = button(QStringLiteral("Sicherungspfad wählen"), "Command1");
    command4_ = button(QStringLiteral("Zurück zum Programm"), "Command4");
    befehl3_ = button(QStringLiteral("&Programm beenden"), "Befehl3");
    connect(befehl4_, &QPushButton::clicked, this, &Datensicherung::backUp);
    connect(befehl5_, &QPushButton::clicked, this, &Datensicherung::handOff);
    connect(command1_, &QPushButton::clicked, this, &Datensicherung::choose);
    connect(command4_, &QPushButton::clicked, this, &Datensicherung::back);
    connect(befehl3_, &QPushButton::clicked, this, &Datensicherung::quit);

    auto* row1 = new QHBoxLayout;
    row1->addWidget(befehl4_);
    row1->addWidget(befehl5_);
    row1->addWidget(command1_);
    auto* row2 = new QHBoxLayout;
    row2->addWidget(command4_);
    row2->addStretch();
    row2->addWidget(befehl3_);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addWidget(dataFrame);
    layout->addWidget(backupFrame);
    layout->addWidget(bezeichnung4_);
    layout->addLayout(row1);
    layout->addLayout(row2);
    setMinimumWidth(620);

    connect(&backup_, &Backup::statusChanged, this, &Datensicherung::setStatus);
    connect(&backup_, &Backup::errorHandled, this, [this] {
        scheduler_.arm(QStringLiteral("Zeit1"), 4000, [this] { setStatus(kReady); });
    });
    befehl4_->setFocus(); // not in the backup-path field: entering it opens the chooser
}

void Datensicherung::setStatus(const QString& text) {
    bezeichnung4_->setText(text);
    bezeichnung4_->setAccessibleDescription(text);
    bezeichnung4_->repaint();
}

void Datensicherung::backUp() {
    const Backup::Outcome o = backup_.manualBackup();
    text1_->setText(backup_.field());
    if (o == Backup::Outcome::Refused || o == Backup::Outcome::Declined)
        return; // stays in the window
    result_ = Result::End;
    accept();
}

void Datensicherung::handOff() {
    if (!backup_.restoreHandOff(currentPassword_))
        return;
    result_ = Result::End;
    accept();
}

void Datensicherung::choose() {
    backup_.choosePath();
    text1_->setText(backup_.field());
}

void Datensicherung::back() {
    result_ = Result::BackToProgram;
    accept();
}

void Datensicherung::quit() {
    result_ = Result::End;
    accept();
}

bool Datensicherung::eventFilter(QObject* o, QEvent* e) {
    if (o == text1_ && e->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
            command1_->setFocus();
            choose();
        }
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
