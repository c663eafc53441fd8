#pragma once

#include "dialogs.h"
#include "print_layout.h"
#include "settings_store.h"

#include <functional>

namespace tb {

// Where the windows send what they print.
class DocumentPrinter {
  public:
    virtual ~DocumentPrinter() = default;
    // Prints a document in copies, each a job of its own; false when it failed or was
    // cancelled.
    virtual bool print(const std::function<PrintDocument(int copy)>& document, int copies,
                       const QString& pdfName) = 0;
    // One copy: the printer choice comes first, offering one copy (also when it is cancelled,
    // one copy is printed on the printer chosen before).
    virtual bool printOne(const PrintDocument& document, const QString& pdfName) = 0;
};

// The printer chosen in "Drucker wählen"; "PDF-Datei" asks for a file beside the data file.
class SystemPrinter final : public DocumentPrinter {
  public:
    SystemPrinter(Dialogs& dialogs, SettingsStore& store, QString dataPath)
        : dialogs_(dialogs), store_(store), dataPath_(std::move(dataPath)) {}
    bool print(const std::function<PrintDocument(int copy)>& document, int copies,
               const QString& pdfName) override;
    bool printOne(const PrintDocument& document, const QString& pdfName) override;
    // Where the data file is now: the setting, or where it was opened.
    QString dataPath() const;

  private:
    Dialogs& dialogs_;
    SettingsStore& store_;
    QString dataPath_;
};

} // namespace tb
