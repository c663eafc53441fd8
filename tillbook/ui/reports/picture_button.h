#pragma once

#include <QAbstractButton>

namespace tb {

// A small picture button of the query frame (the printer and the export symbol). While the
// pointer is over it a highlight frame stands behind it; while the mouse button is held on it,
// it looks sunken.
class PictureButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Picture { Printer, Export };
    PictureButton(Picture picture, const QString& name, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {40, 36}; }
    bool highlighted() const { return hover_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    Picture picture_;
    bool hover_ = false;
};

} // namespace tb
