#pragma once

#include <QLabel>

namespace tb {

// A label that reacts to a click of the left mouse button (the clickable displays and fields
// of the windows: the date display, the period labels, the tax switch).
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

    // Makes the label a button for the keyboard and for assistive technology: a Tab stop
    // that Enter, Space and Alt+Down press, with a visible focus frame, announced as a button
    // that can be pressed.
    void actAsButton();
    bool actsAsButton() const { return property("actsAsButton").toBool(); }
    void press();

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};

} // namespace tb
