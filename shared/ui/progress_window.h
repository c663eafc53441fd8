#pragma once

#include "progress.h"

#include <QPointer>
#include <memory>
#include <optional>

class QProgressDialog;
class QWidget;

namespace tb {

// Progress on the screen for work that runs on the window's own thread: the busy cursor for
// every step, and a bar with "Abbrechen" that appears only when a step takes longer than a
// second.
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

// Runs long work on a worker thread while the program waits for it: the busy cursor at once,
// the operator's input held back, and after showAfterMs a modal window ("Fortschritt") with
// the step's text and a bar (a moving one while the step cannot be measured). The windows
// keep painting meanwhile. The work must not show dialogs itself. Work that can stop midway
// (stoppable) gets "Abbrechen" in the window: from then on its Progress::step returns false.
void runWithProgress(QWidget* parent, const QString& title,
                     const std::function<void(Progress&)>& work, int showAfterMs = 1000,
                     bool stoppable = false);

template <typename Result>
Result runWithProgress(QWidget* parent, const QString& title, const LongWork<Result>& work,
                       int showAfterMs = 1000, bool stoppable = false) {
    std::optional<Result> result;
    runWithProgress(
        parent, title, [&](Progress& p) { result.emplace(work(p)); }, showAfterMs, stoppable);
    return std::move(*result);
}

} // namespace tb
