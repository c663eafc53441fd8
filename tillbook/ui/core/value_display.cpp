#include "value_display.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace tb {

namespace {
constexpr qreal kSmallestPoints = 6.0;
} // namespace

ValueDisplay::ValueDisplay(const QString& caption, Colour colour, QWidget* parent)
    : ClickLabel(parent), colour_(colour) {
    setAccessibleName(caption);
    setTextFormat(Qt::PlainText);
}

void ValueDisplay::setValue(const QString& text) {
    setText(text);
    setAccessibleDescription(text);
    const bool negative = colour_ == Colour::RedWhenNegative && text.startsWith(QLatin1Char('-'));
    QPalette p = palette();
    p.setColor(QPalette::WindowText, negative ? QColor(255, 0, 0) : QColor(0, 0, 0));
    setPalette(p);
    setProperty("negative", negative);
    fit();
}

int ValueDisplay::textWidth() const {
    // The frame, border and padding of the style sheet lie outside the contents rectangle.
    return contentsRect().width() - 2 * margin();
}

void ValueDisplay::fit() {
    ensurePolished();
    const QString full = text();
    QFont f = font();
    const int room = std::max(textWidth(), 1);
    qreal size = f.pointSizeF() > 0 ? f.pointSizeF() : 9.0;
    while (QFontMetrics(f).horizontalAdvance(full) > room && size > kSmallestPoints) {
        size = std::max(kSmallestPoints, size - 0.5);
        f.setPointSizeF(size);
    }
    shownFont_ = f;
    const QFontMetrics m(f);
    if (m.horizontalAdvance(full) <= room) {
        shownText_ = full;
        setToolTip(QString());
    } else {
        shownText_ = m.elidedText(full, Qt::ElideMiddle, room);
        setToolTip(full);
    }
    update();
}

void ValueDisplay::paintEvent(QPaintEvent*) {
    // The frame as the style sheet has it (its background is already painted), then the
    // fitted text.
    QPainter p(this);
    drawFrame(&p);
    p.setFont(shownFont_);
    p.setPen(palette().color(QPalette::WindowText));
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    p.drawText(r, static_cast<int>(alignment()), shownText_);
}

void ValueDisplay::resizeEvent(QResizeEvent* e) {
    ClickLabel::resizeEvent(e);
    fit();
}

void ValueDisplay::changeEvent(QEvent* e) {
    ClickLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        fit();
}

} // namespace tb
