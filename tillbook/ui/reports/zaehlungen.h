#pragma once

#include "dialogs.h"
#include "document_printer.h"
#include "print_layout.h"
#include "stored_counts.h"

#include <QDialog>
#include <functional>

class QPushButton;
class QTableWidget;

namespace tb {

// The window "Zählungen": the kept counts of the till (Nr., Zeitpunkt, Tag, gezählt,
// Buchbestand, Differenz), the protocol of the chosen one, the list printed or exported.
class Zaehlungen : public QDialog {
    Q_OBJECT
  public:
    Zaehlungen(Database& db, Dialogs& dialogs, QString dataPath, DocumentPrinter* printer = nullptr,
               QWidget* parent = nullptr);

    QString currency = QStringLiteral("EUR");
    QString workFolder;

    QTableWidget* table() const { return table_; }
    const std::vector<StoredCount>& counts() const { return counts_; }
    void printProtocol(); // the chosen count's counting protocol
    void printList();
    void exportCsv();

    // The list on paper: one row per count.
    static PrintDocument listPages(const std::vector<StoredCount>& counts);
    static QString csv(const std::vector<StoredCount>& counts);
    // The counting protocol of a kept count, with its number.
    static PrintDocument protocolOf(const StoredCount& c, const QString& currency);

  private:
    Database& db_;
    Dialogs& dialogs_;
    QString dataPath_;
    DocumentPrinter* printer_;
    std::vector<StoredCount> counts_;
    QTableWidget* table_;
};

} // namespace tb
