#pragma once

#include "progress.h"

#include <optional>

class QWidget;

namespace tb {

// Runs long work on a worker thread while the program waits for it: the busy cursor at once,
// the operator's input held back, and after showAfterMs a modal window ("Fortschritt") with
// the step's text and a bar (a moving one while the step cannot be measured). The windows
// keep painting meanwhile. The work must not show dialogs itself.
void runWithProgress(QWidget* parent, const QString& title,
                     const std::function<void(Progress&)>& work, int showAfterMs = 1000);

template <typename Result>
Result runWithProgress(QWidget* parent, const QString& title, const LongWork<Result>& work,
                       int showAfterMs = 1000) {
    std::optional<Result> result;
    runWithProgress(
        parent, title, [&](Progress& p) { result.emplace(work(p)); }, showAfterMs);
    return std::move(*result);
}

} // namespace tb
