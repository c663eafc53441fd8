#pragma once

#include <QDateTime>

namespace tb {

// Where the program asks for the time: the business day, the date of a counter-entry and the
// weekday of the backup copy all come from here.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until it is told to move.
class FixedClock : public Clock {
  public:
    explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
    QDateTime now() const override { return t_; }
    void set(const QDateTime& t) { t_ = t; }

  private:
    QDateTime t_;
};

} // namespace tb
