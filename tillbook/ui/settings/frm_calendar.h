#pragma once

#include <QDate>
#include <QDialog>

class QLabel;

namespace tb {

class CalendarGrid;

// The small month calendar used wherever a date is picked.
class frmCalendar : public QDialog {
    Q_OBJECT
  public:
    explicit frmCalendar(QWidget* parent = nullptr);

    // Shows the calendar modally with the given date marked. True and date set when a date
    // was chosen; date unchanged otherwise.
    static bool GetDate(QDate& date, const QString& title = {}, QWidget* parent = nullptr);

    void setCurrentDate(const QDate& d);
    QDate currentDate() const { return current_; }
    bool chosen() const { return chosen_; }
    void setToday(const QDate& d); // for the bold mark; the system date by default
    QDate today() const { return today_; }
    CalendarGrid* grid() const { return grid_; }
    QString monthCaption() const;

    void choose();
    void moveMonths(int months);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void updateCaption();
    QDate current_;
    QDate today_;
    bool chosen_ = false;
    CalendarGrid* grid_;
    QLabel* caption_;
};

// The painted month grid.
class CalendarGrid : public QWidget {
    Q_OBJECT
  public:
    explicit CalendarGrid(frmCalendar* owner);
    int cellWidth() const { return cellW_; }
    int cellHeight() const { return cellH_; }
    QRect cellRect(int day) const;
    bool isBold(int day) const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    frmCalendar* owner_;
    int cellW_;
    int cellH_;
    bool pressed_ = false;
};

} // namespace tb
