#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tb {

// How a long whole-file operation tells how far it has come. The operation may run on a
// worker thread while the window shows it (progress_window.h), so an implementation takes
// its calls from any thread.
class Progress {
  public:
    virtual ~Progress() = default;
    // A new step: what is done now and how many units it has (0: it cannot be measured).
    virtual void step(const QString& text, qint64 total = 0) = 0;
    // Units of the current step done so far.
    virtual void advance(qint64 done) = 0;
};

// Reports to nowhere: the operations run without a window (tools, tests).
class NoProgress : public Progress {
  public:
    void step(const QString&, qint64) override {}
    void advance(qint64) override {}
};

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
