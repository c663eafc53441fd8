#include "resize.h"

#include <cmath>

namespace tb {

const Resize::WindowEntry* Resize::findWindow(const QString& name) const {
    for (const auto& w : windows_)
        if (w.name == name)
            return &w;
    return nullptr;
}

bool Resize::isRegistered(const QString& windowName) const {
    return findWindow(windowName) != nullptr;
}

const Resize::ControlEntry* Resize::findControl(const QString& window,
                                                const ResizeControl& c) const {
    for (const auto& e : controls_)
        if (e.window == window && e.name == c.name() && e.index == c.arrayIndex())
            return &e;
    return nullptr;
}

static int unpark(int value) {
    return value < 0 ? value + Resize::kParkOffset : value;
}

void Resize::registerWindow(ResizeWindow& window) {
    if (!findWindow(window.name())) {
        WindowEntry e{window.name(),  window.top(),         window.left(),      window.height(),
                      window.width(), window.innerHeight(), window.innerWidth()};
        if (screenHeight_ < 620)
            e.refHeight = static_cast<int>(std::lround(window.innerHeight() * 1.26));
        windows_.push_back(e);
    }
    for (int i = 0; i < window.controlCount(); ++i) {
        ResizeControl& c = window.control(i);
        if (findControl(window.name(), c))
            continue;
        ControlEntry e{c.name(), c.arrayIndex(), window.name(), c.top(),
                       c.left(), c.height(),     c.width()};
        e.left = unpark(e.left);
        if (c.isLine()) // X2 is kept in width
            e.width = unpark(e.width);
        controls_.push_back(e);
    }
}

int Resize::widthPercent(ResizeWindow& window) {
    if (!findWindow(window.name()))
        registerWindow(window);
    const WindowEntry* w = findWindow(window.name());
    return w->refWidth > 0 ? window.innerWidth() * 100 / w->refWidth : 100;
}

int Resize::heightPercent(ResizeWindow& window) {
    if (!findWindow(window.name()))
        registerWindow(window);
    const WindowEntry* w = findWindow(window.name());
    return w->refHeight > 0 ? window.innerHeight() * 100 / w->refHeight : 100;
}

void Resize::resizeControl(ResizeWindow& window, ResizeControl& c) {
    const int wp = widthPercent(window);
    const int hp = heightPercent(window);
    const ControlEntry* e = findControl(window.name(), c);
    if (!e)
        return;
    auto scaleX = [&](int stored, int current) {
        const int scaled = stored * wp / 100;
        return current < 0 ? scaled - kParkOffset : scaled;
    };
    if (c.isLine()) {
        // X1 in left, X2 in width, Y1 in top, Y2 in height.
        c.setGeometry(scaleX(e->left, c.left()), e->top * hp / 100, scaleX(e->width, c.width()),
                      e->height * hp / 100);
        return;
    }
    c.setGeometry(scaleX(e->left, c.left()), e->top * hp / 100, e->width * wp / 100,
                  e->height * hp / 100);
}

void Resize::resizeWindow(ResizeWindow& window) {
    if (busy_)
        return;
    busy_ = true;
    if (window.top() >= kMinimisedTop) {
        busy_ = false;
        return;
    }
    const bool visible = window.isVisible();
    if (!findWindow(window.name()))
        registerWindow(window);
    for (int i = 0; i < window.controlCount(); ++i)
        resizeControl(window, window.control(i));
    if (window.isVisible() != visible)
        window.setVisible(visible);
    busy_ = false;
}

} // namespace tb
