#pragma once

#include <QLabel>
#include <functional>

namespace tb {

// A label that reacts to a click of the left mouse button (the clickable displays and fields
// of the windows: the date display, the period labels, the tax switch).
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
    std::function<void()> clicked;

  protected:
    void mousePressEvent(QMouseEvent* e) override;
};

} // namespace tb
