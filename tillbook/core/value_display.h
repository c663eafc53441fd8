#pragma once

#include "click_label.h"
#include "money.h"

namespace tb {

// A display of one value: a date, a weekday, an amount. Its accessible name is the caption it
// stands under; its accessible description carries the value shown, kept current, so a screen
// reader hears the figure and not only the caption. Amounts are red while their text begins
// with "-" (where the window asks for it).
class ValueDisplay : public ClickLabel {
    Q_OBJECT
  public:
    enum class Colour { Plain, RedWhenNegative };
    explicit ValueDisplay(const QString& caption, Colour colour = Colour::Plain,
                          QWidget* parent = nullptr);

    void setValue(const QString& text);
    void setMoney(Money m) { setValue(m.toText()); }
    QString value() const { return text(); }
    bool isNegative() const { return property("negative").toBool(); }

  private:
    Colour colour_;
};

} // namespace tb
