#include "click_label.h"

#include <QMouseEvent>

namespace tb {

void ClickLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && clicked)
        clicked();
    QLabel::mousePressEvent(e);
}

} // namespace tb
