#pragma once

#include "resize.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

namespace tb {

// A window whose controls are the direct children of one design surface.
class WidgetResizeWindow : public ResizeWindow {
  public:
    WidgetResizeWindow(QWidget* window, QWidget* surface);
    QString name() const override { return window_->objectName(); }
    int left() const override { return window_->x(); }
    int top() const override;
    int width() const override { return window_->width(); }
    int height() const override { return window_->height(); }
    int innerWidth() const override { return surface_->width(); }
    int innerHeight() const override { return surface_->height(); }
    bool isVisible() const override { return window_->isVisible(); }
    void setVisible(bool v) override { window_->setVisible(v); }
    int controlCount() const override;
    ResizeControl& control(int i) override;

  private:
    void collect() const;
    QWidget* window_;
    QWidget* surface_;
    mutable std::vector<std::unique_ptr<ResizeControl>> controls_;
};

} // namespace tb
