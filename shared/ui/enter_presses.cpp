#include "enter_presses.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace tb {

namespace {
class EnterPresses : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                static_cast<QAbstractButton*>(o)->click();
                return true;
            }
        }
        return QObject::eventFilter(o, e);
    }
};
} // namespace

void enterPresses(QAbstractButton* button) {
    button->installEventFilter(new EnterPresses(button));
}

} // namespace tb
