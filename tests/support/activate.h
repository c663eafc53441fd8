#pragma once

#include <QTest>
#include <QWidget>

namespace tb::test {

// Makes a shown window the active one, as a window manager does when it is clicked, and waits
// until the application knows it (keys then go to its focus widget).
inline bool activate(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace tb::test
