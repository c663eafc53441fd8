#include "document_printer.h"

#include "data_paths.h"
#include "printing.h"

#include <QApplication>

namespace tb {

QString SystemPrinter::dataPath() const {
    return store_.get(SettingsStore::startup(), paths::kDataPathKey, dataPath_);
}

bool SystemPrinter::print(const std::function<PrintDocument(int copy)>& document, int copies,
                          const QString& pdfName) {
    const QString printer = Printing::currentPrinter();
    QString pdf;
    if (printer == Printing::pdfEntry()) {
        pdf = dialogs_.saveFile(QStringLiteral("Als PDF-Datei speichern"),
                                paths::folderOf(dataPath()) + pdfName,
                                QStringLiteral("PDF-Datei (*.pdf)"));
        if (pdf.isEmpty())
            return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int copy = 1; copy <= copies; ++copy) {
        // Each copy is a job of its own; into a PDF each goes into a file of its own.
        QString file = pdf;
        if (copy > 1 && !pdf.isEmpty())
            file = pdf.left(pdf.size() - 4) + QStringLiteral(" (Kopie %1).pdf").arg(copy);
        QString why;
        if (!Printing::print(document(copy), printer, file, pdfName.chopped(4), &why)) {
            QApplication::restoreOverrideCursor();
            dialogs_.message(PrintMessages::failed(copy - 1, copies, why),
                             QStringLiteral("Drucken"), Icon::Critical);
            return false;
        }
    }
    QApplication::restoreOverrideCursor();
    return true;
}

bool SystemPrinter::printOne(const PrintDocument& document, const QString& pdfName) {
    dialogs_.choosePrinter(Printing::currentPrinter(), 1);
    return print([&](int) { return document; }, 1, pdfName);
}

} // namespace tb
