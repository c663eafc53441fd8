#include "scheduler.h"

#include <QTimer>
#include <algorithm>

namespace tb {

TimerScheduler::TimerScheduler(QObject* parent) : QObject(parent) {}

TimerScheduler::~TimerScheduler() = default;

void TimerScheduler::arm(const QString& name, int delayMs, std::function<void()> job) {
    auto it = jobs_.find(name);
    if (it != jobs_.end() && it->timer->isActive())
        return;
    if (it == jobs_.end()) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, name] { fire(name); });
        it = jobs_.insert(name, Entry{timer, {}});
    }
    it->job = std::move(job);
    it->timer->start(delayMs);
}

void TimerScheduler::disarm(const QString& name) {
    auto it = jobs_.find(name);
    if (it != jobs_.end())
        it->timer->stop();
}

bool TimerScheduler::isArmed(const QString& name) const {
    auto it = jobs_.find(name);
    return it != jobs_.end() && it->timer->isActive();
}

bool TimerScheduler::runNow(const QString& name) {
    auto it = jobs_.find(name);
    if (it == jobs_.end() || !it->timer->isActive())
        return false;
    it->timer->stop();
    auto job = std::move(it->job);
    it->job = nullptr;
    if (job)
        job();
    return true;
}

void TimerScheduler::fire(const QString& name) {
    auto it = jobs_.find(name);
    if (it == jobs_.end())
        return;
    if (modalOpen && modalOpen()) {
        // Wait for the dialog: the job stays armed and looks again shortly.
        it->timer->start(20);
        return;
    }
    auto job = std::move(it->job);
    it->job = nullptr;
    if (job)
        job();
}

void ManualScheduler::arm(const QString& name, int delayMs, std::function<void()> job) {
    if (isArmed(name))
        return;
    pending_.push_back(Entry{name, now_ + delayMs, seq_++, std::move(job)});
}

void ManualScheduler::disarm(const QString& name) {
    std::erase_if(pending_, [&](const Entry& e) { return e.name == name; });
}

bool ManualScheduler::isArmed(const QString& name) const {
    return std::any_of(pending_.begin(), pending_.end(),
                       [&](const Entry& e) { return e.name == name; });
}

bool ManualScheduler::runNow(const QString& name) {
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const Entry& e) { return e.name == name; });
    if (it == pending_.end())
        return false;
    Entry e = std::move(*it);
    pending_.erase(it);
    log << e.name;
    logTimes.push_back(now_);
    if (e.job)
        e.job();
    return true;
}

void ManualScheduler::advance(int ms) {
    const qint64 target = now_ + ms;
    for (;;) {
        auto next =
            std::min_element(pending_.begin(), pending_.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.seq < b.seq;
            });
        if (next == pending_.end() || next->due > target)
            break;
        Entry e = std::move(*next);
        pending_.erase(next);
        now_ = e.due;
        log << e.name;
        logTimes.push_back(e.due);
        if (e.job)
            e.job();
    }
    now_ = target;
}

bool ManualScheduler::advanceTo(const QString& name) {
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const Entry& e) { return e.name == name; });
    if (it == pending_.end())
        return false;
    advance(static_cast<int>(it->due - now_));
    return true;
}

void ManualScheduler::runAll(int maxMs) {
    const qint64 end = now_ + maxMs;
    while (!pending_.empty() && now_ < end)
        advance(10);
}

} // namespace tb
