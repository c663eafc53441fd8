#pragma once

#include "dialogs.h"

#include <QObject>
#include <QString>

namespace tb {

// Lets only the listed characters into an entry field; any other typed character is discarded
// with the program's error message. Backspace, Enter, Escape, the navigation keys, modifier
// keys and shortcuts are no typed characters and pass.
class NumericKeyFilter : public QObject {
    Q_OBJECT
  public:
    NumericKeyFilter(QString allowed, Dialogs& dialogs, QObject* parent)
        : QObject(parent), allowed_(std::move(allowed)), dialogs_(dialogs) {}
    static void showError(Dialogs& dialogs);
    // Whether a typed text may go in.
    bool accepts(const QString& typed) const;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    QString allowed_;
    Dialogs& dialogs_;
};

} // namespace tb
