#include "picture_button.h"

#include <QKeyEvent>
#include <QPainter>

namespace tb {

PictureButton::PictureButton(Picture picture, const QString& name, QWidget* parent)
    : QAbstractButton(parent), picture_(picture) {
    setAccessibleName(name);
    setToolTip(name);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::enterEvent(QEnterEvent* e) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void PictureButton::leaveEvent(QEvent* e) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void PictureButton::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The frame and the sunken border on whole pixels, one pixel wide and in their own colour;
    // only the picture is smoothed.
    const QRect r = rect().adjusted(1, 1, -2, -2);
    if (hover_ || hasFocus()) {
        p.setPen(QPen(QColor(75, 207, 201), 0));
        p.setBrush(QColor(215, 235, 255));
        p.drawRect(r);
    }
    if (isDown()) {
        // Sunken: shadow on top and left, light on bottom and right.
        // The lines stand on the frame's pixels: from 1 to the width less 2.
        const QRect e = r.adjusted(0, 0, 1, 1);
        p.setPen(QPen(palette().color(QPalette::Dark), 0));
        p.drawLine(e.bottomLeft(), e.topLeft());
        p.drawLine(e.topLeft(), e.topRight());
        p.setPen(QPen(palette().color(QPalette::Light), 0));
        p.drawLine(e.topRight(), e.bottomRight());
        p.drawLine(e.bottomRight(), e.bottomLeft());
        p.translate(1, 1);
    }
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = width();
    const qreal h = height();
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    if (picture_ == Picture::Printer) {
        // Paper on top, the body, the paper coming out.
        p.setBrush(Qt::white);
        p.drawRect(QRectF(w * 0.32, h * 0.14, w * 0.36, h * 0.28));
        p.setBrush(QColor(120, 130, 140));
        p.drawRoundedRect(QRectF(w * 0.16, h * 0.38, w * 0.68, h * 0.32), 3, 3);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(w * 0.30, h * 0.62, w * 0.40, h * 0.24));
        p.setBrush(QColor(90, 200, 90));
        p.drawEllipse(QPointF(w * 0.74, h * 0.48), 1.6, 1.6);
    } else {
        // A sheet with table lines and an arrow leaving it.
        p.setBrush(Qt::white);
        p.drawRect(QRectF(w * 0.22, h * 0.14, w * 0.42, h * 0.72));
        for (int i = 1; i <= 4; ++i) {
            const qreal y = h * (0.14 + 0.144 * i);
            p.drawLine(QPointF(w * 0.22, y), QPointF(w * 0.64, y));
        }
        p.drawLine(QPointF(w * 0.43, h * 0.14), QPointF(w * 0.43, h * 0.86));
        p.setPen(QPen(QColor(0, 120, 60), 2));
        p.drawLine(QPointF(w * 0.52, h * 0.56), QPointF(w * 0.86, h * 0.56));
        p.drawLine(QPointF(w * 0.86, h * 0.56), QPointF(w * 0.76, h * 0.46));
        p.drawLine(QPointF(w * 0.86, h * 0.56), QPointF(w * 0.76, h * 0.66));
    }
}

} // namespace tb
