#pragma once

#include "progress.h"

#include <QPointer>
#include <memory>

class QProgressDialog;
class QWidget;

namespace tb {

// Progress on the screen: the busy cursor for every step, and a bar with "Abbrechen" that
// appears only when a step takes longer than a second.
class ProgressWindow : public Progress {
  public:
    explicit ProgressWindow(QWidget* parent);
    ~ProgressWindow() override;

    void begin(const QString& label, qint64 total) override;
    bool step(qint64 done) override;
    void end() override;

    // The bar of the step under way (nullptr between steps); tests look at it.
    QProgressDialog* bar() const { return bar_.get(); }

  private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> bar_;
    qint64 scale_ = 1;
    bool busy_ = false;
};

} // namespace tb
