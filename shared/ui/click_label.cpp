#include "click_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>

namespace tb {

namespace {
// A label that acts as a button is announced as one, with its press action.
class ButtonLabelAccessible : public QAccessibleWidget {
  public:
    explicit ButtonLabelAccessible(ClickLabel* label)
        : QAccessibleWidget(label, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<ClickLabel*>(widget())->press();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* buttonLabels(const QString&, QObject* object) {
    auto* label = qobject_cast<ClickLabel*>(object);
    if (label && label->actsAsButton())
        return new ButtonLabelAccessible(label);
    return nullptr;
}
} // namespace

void ClickLabel::actAsButton() {
    static const bool installed = [] {
        QAccessible::installFactory(buttonLabels);
        return true;
    }();
    (void)installed;
    setProperty("actsAsButton", true);
    setFocusPolicy(Qt::StrongFocus);
    // Whoever already asked about the label (styling and focus do) learns it anew, as a button.
    QAccessibleInterface* known = QAccessible::queryAccessibleInterface(this);
    if (known && known->role() != QAccessible::Button)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
}

void ClickLabel::press() {
    emit clicked();
}

void ClickLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        press();
    QLabel::mousePressEvent(e);
}

void ClickLabel::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool opens = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
                       (key == Qt::Key_Down && (e->modifiers() & Qt::AltModifier));
    if (actsAsButton() && opens) {
        press();
        e->accept();
        return;
    }
    QLabel::keyPressEvent(e);
}

} // namespace tb
