#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>

namespace tb::test {

// A control of a window or panel by its object name; the test fails when there is none.
template <typename T> T* control(const QObject* parent, const QString& name) {
    T* c = parent->findChild<T*>(name);
    if (!c)
        ADD_FAILURE() << "no control named " << name.toStdString();
    return c;
}

} // namespace tb::test
