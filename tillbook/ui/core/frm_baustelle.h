#pragma once

#include "booking_texts.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QTableView;
class QPushButton;

namespace tb {

class DataViewModel;

// The booking-text picker: search as you type, take over, create, delete.
class frm_Baustelle : public QDialog {
    Q_OBJECT
  public:
    enum class Role { Choose, Maintain };

    frm_Baustelle(Database* db, Dialogs& dialogs, Role role, QWidget* parent = nullptr);

    // Preselects the text the entry field holds (an empty one matches the first text).
    void preselect(const QString& entryText);

    QLineEdit* searchField() const { return search_; }
    QTableView* list() const { return table_; }
    BookingTexts& texts() { return texts_; }
    QString currentText() const { return texts_.currentText(); }

    void takeOver();
    void deleteText();

  signals:
    // Each text taken over, as it is taken over.
    void textTakenOver(const QString& text);

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void syncSelection();
    BookingTexts texts_;
    Role role_;
    DataViewModel* model_;
    QLineEdit* search_;
    QTableView* table_;
};

} // namespace tb
