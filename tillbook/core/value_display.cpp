#include "value_display.h"

namespace tb {

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
}

} // namespace tb
