#pragma once

#include "audit_trail.h"
#include "clock.h"
#include "dialogs.h"
#include "document_printer.h"
#include "print_layout.h"
#include "progress.h"
#include "trail_check.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace tb {

class TrailModel;

// The window "Änderungsprotokoll": the change log newest first (Nr., Zeitpunkt, Art, Zeile,
// Beleg, Datum, Änderung), filtered by period and kind, with "Prüfen", "Drucken" and
// "Export". A view over AuditTrail, LogCheck and TrailReport.
class Aenderungsprotokoll : public QDialog {
    Q_OBJECT
  public:
    // The printout goes to the printer, as every printout of the program (none: nothing is
    // printed).
    Aenderungsprotokoll(Database& db, Dialogs& dialogs, QString dataPath,
                        DocumentPrinter* printer = nullptr, QWidget* parent = nullptr);
    ~Aenderungsprotokoll() override;
    // Wide enough for a change beside its moment and kind, also when opened at its size hint.
    QSize sizeHint() const override { return {1100, 600}; }

    // How "Prüfen" runs: with a busy cursor and a progress bar (the default), or at once.
    WorkRunner<LogCheck> runner;
    // The folder the export's working file is written into.
    QString workFolder;
    // Where today comes from (the calendar opens on it); the system clock if not set.
    const Clock* clock = nullptr;

    const LogFilter& filter() const { return filter_; }
    void setFilter(const LogFilter& f);
    // The period's ends through the calendar; "alle Zeiten" clears both.
    void chooseFrom();
    void chooseTo();
    void allTimes();
    void check();
    void printList();
    void exportCsv();

    QTableView* table() const { return table_; }
    QComboBox* kindChoice() const { return kind_; }
    QPushButton* fromButton() const { return from_; }
    QPushButton* toButton() const { return to_; }
    QPushButton* checkButton() const { return check_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* exportButton() const { return export_; }
    QLabel* status() const { return status_; }
    // What a row of the table shows, for tests and the screen reader: the cells joined.
    QString rowText(int row) const;

  private:
    void reload();
    QDate today() const;
    std::vector<LogEntry> listed();

    Database& db_;
    Dialogs& dialogs_;
    QString dataPath_;
    DocumentPrinter* printer_;
    LogFilter filter_;
    TrailModel* model_;
    QTableView* table_;
    QComboBox* kind_;
    QPushButton* from_;
    QPushButton* to_;
    QPushButton* all_;
    QPushButton* check_;
    QPushButton* print_;
    QPushButton* export_;
    QPushButton* close_;
    QLabel* status_;
};

} // namespace tb
