#include "haupt.h"

#include "stored_counts.h"

#include "audit_trail.h"
#include "cash_date.h"
#include "csv_export.h"
#include "data_correction.h"
#include "data_paths.h"
#include "line_page.h"
#include "print_layout.h"
#include "printing.h"
#include "query_controller.h"
#include "query_frame.h"
#include "till_count_page.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>

// The main window's wiring of the query frame: the period, the period and booking-text
// listings, the data correction, the export and the printout of what the grid lists.
namespace tb {

void Haupt::wireQueryFrame() {
    QueryServices q;
    q.db = s_.db;
    q.dialogs = &dialogs_;
    q.clock = s_.clock;
    q.settings = &settings_;
    q.mayList = [this] { return entries_.leaveNewEntry(); };
    q.dataPath = [this] {
        return s_.store->get(SettingsStore::startup(), paths::kDataPathKey, s_.dataPath);
    };
    q.print = [this](const std::function<PrintDocument(int)>& document, int copies,
                     const QString& pdfName) { return printDocuments(document, copies, pdfName); };
    queries_ = new QueryController(*query_, day_, std::move(q), this);
    connect(queries_, &QueryController::listingStarts, panel_, &EntryPanel::dismiss);
    connect(queries_, &QueryController::tillCountAllowed, this,
            [this](bool on) { tabs_->setTabEnabled(1, on); });
    connect(queries_, &QueryController::gridFocusWanted, this, [this] { lineGrid()->setFocus(); });
    connect(queries_, &QueryController::figuresWanted, this, [this](bool carriedIn) {
        arm(JobId::Recompute);
        if (carriedIn)
            arm(JobId::CarriedIn);
    });
    connect(tillPage_, &TillCountPage::printClicked, this, &Haupt::printProtocol);
    connect(tillPage_, &TillCountPage::storeClicked, this, &Haupt::storeCount);
}

bool Haupt::printDocuments(const std::function<PrintDocument(int copy)>& document, int copies,
                           const QString& pdfName) {
    const QString printer = Printing::currentPrinter();
    QString pdf;
    if (printer == Printing::pdfEntry()) {
        const QString dataPath =
            s_.store->get(SettingsStore::startup(), paths::kDataPathKey, s_.dataPath);
        pdf = dialogs_.saveFile(QStringLiteral("Als PDF-Datei speichern"),
                                paths::folderOf(dataPath) + pdfName,
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

void Haupt::printProtocol() {
    // The protocol reads no number of copies: one, also when the choice was cancelled.
    dialogs_.choosePrinter(Printing::currentPrinter(), 1);
    TillFigures f;
    for (int line = 1; line <= TillCount::kLines; ++line)
        f.counts[static_cast<size_t>(line - 1)] = tillPage_->countField(line)->text();
    f.lineTotals = tillPage_->lineTotals();
    f.expected = tillPage_->expected()->text();
    f.counted = tillPage_->counted()->text();
    f.difference = tillPage_->difference()->text();
    f.storedTitle = tillPage_->storedTitle();
    const QDateTime now = s_.clock->now();
    const QString currency = settings_.currency();
    printDocuments([&](int) { return countingProtocol(f, currency, now); }, 1,
                   QStringLiteral("Zählprotokoll ") + cashdate::toText(now.date()) +
                       QStringLiteral(".pdf"));
}

void Haupt::storeCount() {
    tillPage_->showDifference();
    const auto c =
        StoredCounts::store(*s_.db, dialogs_, *s_.clock, days_.currentDate(), tillPage_->counts(),
                            Money::parseOrZero(tillPage_->counted()->text()),
                            Money::parseOrZero(tillPage_->expected()->text()));
    if (!c)
        return;
    tillPage_->setStoredTitle(c->title());
    if (c->difference == Money()) {
        dialogs_.message(c->title() + QStringLiteral(" gespeichert."),
                         QStringLiteral("Zählung speichern"), Icon::Information);
        return;
    }
    if (dialogs_.message(StoredCounts::differenceQuestion(c->difference),
                         QStringLiteral("Zählung speichern"), Icon::Question,
                         Buttons::YesNo) == Answer::Yes)
        bookDifference(c->difference);
}

void Haupt::bookDifference(Money difference) {
    if (!entries_.leaveNewEntry())
        return;
    if (days_.view().isEmpty()) {
        dialogs_.message(QStringLiteral("Es muss zunächst ein Tag angelegt werden"), {},
                         Icon::Information);
        return;
    }
    // The text is offered as any other; the operator may choose another one.
    const QString text = StoredCounts::differenceText();
    if (s_.db->scalar(QStringLiteral("SELECT count(*) FROM Buchungstext WHERE a1 = ?;"), {text}) ==
        QLatin1String("0")) {
        Statement add = s_.db->prepare(QStringLiteral("INSERT INTO Buchungstext (a1) VALUES (?);"));
        add.bind(1, text);
        add.run();
    }
    tabs_->setCurrentIndex(0);
    entries_.openDifferenceLine(difference, text);
}

} // namespace tb
