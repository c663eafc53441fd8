#pragma once

#include <QFrame>

class QComboBox;
class QPushButton;

namespace tb {

class ClickLabel;
class PictureButton;

// The query frame (Frame2): the period labels, "alle Positionen anzeigen", "alle Zeiten", the
// booking-text selector, the print and the export button. It holds the controls and says what
// the operator asked for; the listings themselves are the window's business.
class QueryFrame : public QFrame {
    Q_OBJECT
  public:
    explicit QueryFrame(QWidget* parent = nullptr);

    ClickLabel* periodStart() const { return start_; }        // Label9
    ClickLabel* periodEnd() const { return end_; }            // Label10
    QPushButton* listAllButton() const { return listAll_; }   // Command11
    QPushButton* allTimesButton() const { return allTimes_; } // Command14
    QComboBox* textSelector() const { return combo4_; }       // Combo4
    PictureButton* printButton() const { return print_; }     // Command12
    PictureButton* exportButton() const { return export_; }   // Image1

    void setPeriod(const QString& start, const QString& end);
    // Refills the selector with the texts; its text is cleared.
    void setTexts(const QStringList& texts);
    void clearSelectedText();

  signals:
    void periodStartClicked();
    void periodEndClicked();
    void allTimesClicked();
    void listAllClicked();
    void textChosen(const QString& text);
    void printClicked();
    void exportClicked();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    // Enter in the selector: the text that matches what was typed is listed, or nothing.
    void chooseTyped();
    // The item equal to the typed text in any case, else the first that begins with it; -1.
    int matchingText(const QString& typed) const;
    ClickLabel* start_;
    ClickLabel* end_;
    QPushButton* listAll_;
    QPushButton* allTimes_;
    QComboBox* combo4_;
    PictureButton* print_;
    PictureButton* export_;
};

} // namespace tb
