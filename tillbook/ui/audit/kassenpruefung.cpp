#include "kassenpruefung.h"

#include "csv_export.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

Kassenpruefung::Kassenpruefung(Database& db, Dialogs& dialogs, QString dataPath, QDate from,
                               QDate to, DocumentPrinter* printer, QWidget* parent)
    : QDialog(parent), db_(db), dialogs_(dialogs), dataPath_(std::move(dataPath)),
      printer_(printer), from_(from), to_(to) {
    setObjectName(QStringLiteral("Kassenpruefung"));
    setWindowTitle(QStringLiteral("Kassenprüfung"));
    view_ = new QPlainTextEdit;
    view_->setReadOnly(true);
    view_->setAccessibleName(QStringLiteral("Kassenprüfung"));
    view_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto button = [](const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setAccessibleName(caption);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* again = button(QStringLiteral("Prüfen"));
    QPushButton* printB = button(QStringLiteral("Drucken"));
    QPushButton* exp = button(QStringLiteral("Export"));
    QPushButton* close = button(QStringLiteral("Schließen"));
    connect(again, &QPushButton::clicked, this, &Kassenpruefung::check);
    connect(printB, &QPushButton::clicked, this, &Kassenpruefung::printReport);
    connect(exp, &QPushButton::clicked, this, &Kassenpruefung::exportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {again, printB, exp, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    resize(820, 600);
}

void Kassenpruefung::check() {
    report_ = runner(QStringLiteral("Kassenprüfung"),
                     [this](Progress& p) { return SelfCheck::run(db_, from_, to_, p); });
    view_->setPlainText(report_.text());
}

void Kassenpruefung::printReport() {
    if (printer_)
        printer_->printOne(report_.pages(), report_.title() + QStringLiteral(".pdf"));
}

void Kassenpruefung::exportCsv() {
    CsvExport::save(report_.csv(),
                    CsvExport::fileNamePart(report_.title()) + QStringLiteral(".csv"), dataPath_,
                    workFolder, dialogs_);
}

} // namespace tb
