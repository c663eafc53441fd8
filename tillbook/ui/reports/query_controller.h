#pragma once

#include "clock.h"
#include "day_presenter.h"
#include "dialogs.h"
#include "document_printer.h"
#include "entry_controller.h"
#include "settings_record.h"

#include <QObject>

namespace tb {

class QueryFrame;
class TillCountPage;

// The query frame's wiring: a click on a period label picks its date, "alle Zeiten" resets the
// period, "alle Positionen anzeigen" and the booking-text selector put a listing into the
// grid, the export and the printout take what the grid lists. What the window must do around
// a listing (close the entry panel, recompute the figures) it says through its signals.
// The till count's protocol is printed and its count kept here too.
// What the controller works with; the window's.
struct QueryServices {
    Database* db = nullptr;
    Dialogs* dialogs = nullptr;
    Clock* clock = nullptr;
    SettingsRecord* settings = nullptr;
    // Asked before a listing replaces an open new entry; refused: nothing happens.
    EntryController* entries = nullptr;
    DocumentPrinter* printer = nullptr;
    // Where the data file is now (the export goes beside it): the setting, or where it was
    // opened.
    SettingsStore* store = nullptr;
    QString dataPath;
};

class QueryController : public QObject {
    Q_OBJECT
  public:
    QueryController(QueryFrame& frame, DayPresenter& day, QueryServices services,
                    QObject* parent = nullptr);

    void listPeriod();
    void listText(const QString& text);
    void correctData();
    void exportCsv();
    void printCashBook();
    // The period labels show the period.
    void showPeriod();
    // "Zählprotokoll drucken" and "Zählung speichern" of this page.
    void followTillCount(TillCountPage& page);

  signals:
    // The grid lists something else: the entry panel closes.
    void listingStarts();
    // The till-count page is meant for one day: a text listing disables it.
    void tillCountAllowed(bool on);
    // The figures follow what is listed; carriedIn: the carried-in balance too.
    void figuresWanted(bool carriedIn);
    void gridFocusWanted();

  private:
    void afterCorrection();
    PrintSettings printSettings() const;
    void printCountingProtocol(const TillCountPage& page);
    void storeCount(TillCountPage& page);

    QueryFrame& frame_;
    DayPresenter& day_;
    QueryServices s_;
    Dialogs& dialogs_;
};

} // namespace tb
