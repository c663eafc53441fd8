#include "key_filter.h"

#include <QKeyEvent>

namespace tb {

void NumericKeyFilter::showError(Dialogs& dialogs) {
    dialogs.message(QStringLiteral("Falsche Eingabe !      nur Zahlenwerte erlaubt"),
                    QStringLiteral("Fehler"), Icon::Critical);
}

bool NumericKeyFilter::accepts(const QString& typed) const {
    return typed.size() == 1 && allowed_.contains(typed[0]);
}

bool NumericKeyFilter::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QObject::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    switch (k->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    // Only typed characters are judged: modifier keys, shortcuts and keys without a
    // printable character pass.
    const QString text = k->text();
    if (text.isEmpty() || !text.at(0).isPrint() ||
        (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (accepts(k->text()))
        return false;
    showError(dialogs_);
    return true;
}

} // namespace tb
