#include "kassenbestand.h"

#include "key_filter.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

QString Kassenbestand::storedForm(const QString& typed) {
    return typed.isEmpty() ? QStringLiteral("0") : typed;
}

Kassenbestand::Kassenbestand(Database* db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), settings_(db) {
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
    auto* save = new QPushButton(QStringLiteral("speichern"));
    save->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field_);
    layout->addWidget(save);
    connect(save, &QPushButton::clicked, this, &Kassenbestand::save);
    field_->selectAll();
    resize(320, 120);
}

void Kassenbestand::save() {
    settings_.set(QStringLiteral("Einst15"), storedForm(field_->text()));
    settings_.save();
    accept();
}

} // namespace tb
