#pragma once

#include "dialogs.h"
#include "document_printer.h"
#include "progress.h"
#include "self_check.h"

#include <QDialog>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace tb {

// The window "Kassenprüfung": the self-check of the query period as a report, printed or
// exported. A view over SelfCheck.
class Kassenpruefung : public QDialog {
    Q_OBJECT
  public:
    Kassenpruefung(Database& db, Dialogs& dialogs, QString dataPath, QDate from, QDate to,
                   DocumentPrinter* printer = nullptr, QWidget* parent = nullptr);

    // How the check runs: with a busy cursor, a progress bar and "Abbrechen" (the program),
    // or at once (the default).
    WorkRunner<SelfCheckReport> runner = runAtOnce<SelfCheckReport>;
    QString workFolder;

    void check();
    void printReport();
    void exportCsv();
    const SelfCheckReport& report() const { return report_; }
    QPlainTextEdit* view() const { return view_; }

  private:
    Database& db_;
    Dialogs& dialogs_;
    QString dataPath_;
    DocumentPrinter* printer_;
    QDate from_, to_;
    SelfCheckReport report_;
    QPlainTextEdit* view_;
};

} // namespace tb
