#pragma once

#include "day_controller.h"
#include "day_presenter.h"

#include <QObject>

class QPushButton;
class QTableView;
class QWidget;

namespace tb {

class DataViewModel;
class ValueDisplay;

// The left column of the main window: the date and weekday of the current day, the balance
// carried in, the day amount, the balance, the day list and its two buttons. Its controls
// stand directly on the window's design surface, so that the window scales them as it scales
// every other control. It shows what the presenter and the day controller say and hands the
// operator's choices to the controller.
class DayColumn : public QObject {
    Q_OBJECT
  public:
    // The controls are placed for a surface `designHeight` high.
    DayColumn(QWidget* surface, int designHeight, DayPresenter& day, DayController& controller,
              QObject* parent = nullptr);

    QTableView* list() const { return list_; }
    // The day list re-read: the highlight goes back onto the current day.
    void reload();
    // The day list follows the surface's height; its buttons stand in the room below it.
    void layout();

  private:
    void build(int designHeight);
    void showDay(const QString& date, const QString& weekday, int row);
    void selectRow(int row);

    QWidget* surface_;
    DayPresenter& day_;
    DayController& controller_;
    bool syncing_ = false;
    QTableView* list_ = nullptr;
    DataViewModel* model_ = nullptr;
    QPushButton* findDay_ = nullptr;
    QPushButton* deleteDay_ = nullptr;
    ValueDisplay* date_ = nullptr;
    ValueDisplay* weekday_ = nullptr;
    ValueDisplay* carriedIn_ = nullptr;
    ValueDisplay* dayAmount_ = nullptr;
    ValueDisplay* balance_ = nullptr;
};

} // namespace tb
