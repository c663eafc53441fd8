#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tb {

// Where a long piece of work says how far it has come: the windows show a busy cursor and a
// progress bar (only when the work takes longer than a second) and may let the operator stop
// it; tools and tests take the silent default. Work that runs on a worker thread while the
// window shows it (runWithProgress in progress_window.h) reports through an implementation
// that takes its calls from any thread.
class Progress {
  public:
    virtual ~Progress() = default;
    // A step of the work begins: what it does, and how many units it has (0: it cannot be
    // measured).
    virtual void begin(const QString& label, qint64 total = 0) {
        Q_UNUSED(label);
        Q_UNUSED(total);
    }
    // So many units of the step are done. False when the operator asked to stop.
    virtual bool step(qint64 done) {
        Q_UNUSED(done);
        return true;
    }
    // The step is over (also when it stopped early); a dialog may follow.
    virtual void end() {}
};

// Reports to nowhere: the operations run without a window (tools, tests).
class NoProgress : public Progress {};

// How an operation runs its long part: at once (the default, for tools and tests), or on a
// worker thread with a busy cursor and a progress window (the programs).
template <typename Result> using LongWork = std::function<Result(Progress&)>;
template <typename Result>
using WorkRunner = std::function<Result(const QString& title, const LongWork<Result>& work)>;

template <typename Result> Result runAtOnce(const QString&, const LongWork<Result>& work) {
    NoProgress none;
    return work(none);
}

} // namespace tb
