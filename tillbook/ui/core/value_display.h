#pragma once

#include "click_label.h"
#include "money.h"

namespace tb {

// A display of one value: a date, a weekday, an amount. Its accessible name is the caption it
// stands under; its accessible description carries the value shown, kept current, so a screen
// reader hears the figure and not only the caption. Amounts are red while their text begins
// with "-" (where the window asks for it).
//
// A figure is never shown cut so that it reads as another amount: when it is wider than the
// display, the font shrinks until it fits; below the smallest readable size it is shown
// elided ("…"), with the whole figure as tooltip.
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

    // What is painted: the text (whole, or elided) and the font it is painted in.
    const QString& shownText() const { return shownText_; }
    const QFont& shownFont() const { return shownFont_; }
    // The width the text has inside the frame and padding.
    int textWidth() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    void fit();
    Colour colour_;
    QString shownText_;
    QFont shownFont_;
};

} // namespace tb
