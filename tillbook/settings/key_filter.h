#pragma once

#include "dialogs.h"

#include <QObject>
#include <QString>

namespace tb {

// Lets only the listed characters (plus Backspace, Enter and the navigation keys) into an entry
// field; any other key is discarded with the program's error message.
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
