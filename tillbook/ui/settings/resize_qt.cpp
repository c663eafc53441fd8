#include "resize_qt.h"

namespace tb {

namespace {
class WidgetControl : public ResizeControl {
  public:
    explicit WidgetControl(QWidget* w) : w_(w) {}
    QString name() const override { return w_ ? w_->objectName() : QString(); }
    int arrayIndex() const override { return w_ ? w_->property("arrayIndex").toInt() : 0; }
    int left() const override { return w_ ? w_->x() : 0; }
    int top() const override { return w_ ? w_->y() : 0; }
    int width() const override { return w_ ? w_->width() : 0; }
    int height() const override { return w_ ? w_->height() : 0; }
    void setGeometry(int l, int t, int w, int h) override {
        if (w_)
            w_->setGeometry(l, t, w, h);
    }

  private:
    QPointer<QWidget> w_;
};
} // namespace

WidgetResizeWindow::WidgetResizeWindow(QWidget* window, QWidget* surface)
    : window_(window), surface_(surface) {}

int WidgetResizeWindow::top() const {
    return window_->isMinimized() ? Resize::kMinimisedTop : window_->y();
}

void WidgetResizeWindow::collect() const {
    if (!controls_.empty())
        return;
    for (QObject* o : surface_->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow())
            controls_.push_back(std::make_unique<WidgetControl>(w));
    }
}

int WidgetResizeWindow::controlCount() const {
    collect();
    return static_cast<int>(controls_.size());
}

ResizeControl& WidgetResizeWindow::control(int i) {
    collect();
    return *controls_[static_cast<size_t>(i)];
}

} // namespace tb
