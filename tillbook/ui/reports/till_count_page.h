#pragma once

#include "dialogs.h"
#include "money.h"
#include "till_count.h"

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tb {

class ValueDisplay;
struct TillFigures;

// The second tab, "Kassenaufnahme / Kassenabschluss": fifteen count fields (Text2(1..15)), the
// line totals, the counted total, the book balance and the difference. The first count field
// is also where the service code is typed.
class TillCountPage : public QWidget {
    Q_OBJECT
  public:
    TillCountPage(Dialogs& dialogs, QWidget* parent = nullptr);

    QLineEdit* countField(int line) const { return counts_[static_cast<size_t>(line - 1)]; }
    QLabel* lineTotal(int line) const { return totals_[static_cast<size_t>(line - 1)]; }
    ValueDisplay* counted() const { return counted_; }
    ValueDisplay* expected() const { return expected_; }
    ValueDisplay* difference() const { return difference_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* storeButton() const { return store_; }
    // The kept count the fields show ("Zählprotokoll Nr. 17 vom ..."); empty once a count
    // changed after it was kept.
    QString storedTitle() const { return storedTitle_; }
    void setStoredTitle(const QString& title) { storedTitle_ = title; }

    // True while the first count field holds exactly the service code.
    bool serviceCode() const;
    // The book balance ("Kassenbestand (soll):"), written by every recompute.
    void setExpected(Money balance);
    // Counted total minus book balance (the deferred job of the main window).
    void showDifference();
    TillCount::Texts lineTotals() const;
    TillCount::Texts counts() const;
    // What the counting protocol prints: the fields as they stand.
    TillFigures figures() const;

  signals:
    // Any count changed: the service code may have come or gone, and the difference is due.
    void countChanged();
    void printClicked();
    void storeClicked();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void countEdited(int line);
    Dialogs& dialogs_;
    std::array<QLineEdit*, TillCount::kLines> counts_{};
    std::array<QString, TillCount::kLines> accepted_{}; // the last count each field held
    std::array<QLabel*, TillCount::kLines> totals_{};
    ValueDisplay* counted_;
    ValueDisplay* expected_;
    ValueDisplay* difference_;
    QPushButton* print_;
    QPushButton* store_;
    QString storedTitle_;
};

} // namespace tb
