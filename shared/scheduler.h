#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTimer;

namespace tb {

// Named one-shot deferred jobs. A job runs once after its delay and is disarmed before it runs;
// arming an armed job does nothing.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    virtual void arm(const QString& name, int delayMs, std::function<void()> job) = 0;
    virtual void disarm(const QString& name) = 0;
    virtual bool isArmed(const QString& name) const = 0;
    // Runs an armed job at once (disarmed first, as when it falls due); false when it was not
    // armed. The end of the run uses it so nothing that writes is left waiting.
    virtual bool runNow(const QString& name) = 0;
};

// The real scheduler on the event loop. A job that falls due while a modal dialog of the
// program is open waits until the dialog has closed.
class TimerScheduler : public QObject, public Scheduler {
    Q_OBJECT
  public:
    explicit TimerScheduler(QObject* parent = nullptr);
    ~TimerScheduler() override;
    void arm(const QString& name, int delayMs, std::function<void()> job) override;
    void disarm(const QString& name) override;
    bool isArmed(const QString& name) const override;
    bool runNow(const QString& name) override;

    // Tells whether a modal dialog is open. The window layer sets it (waitForModalDialogs);
    // without it jobs run when they fall due.
    std::function<bool()> modalOpen;

  private:
    void fire(const QString& name);
    struct Entry {
        QTimer* timer = nullptr;
        std::function<void()> job;
    };
    QHash<QString, Entry> jobs_;
};

// A scheduler that runs on virtual time, for tests and headless runs.
class ManualScheduler : public Scheduler {
  public:
    void arm(const QString& name, int delayMs, std::function<void()> job) override;
    void disarm(const QString& name) override;
    bool isArmed(const QString& name) const override;
    bool runNow(const QString& name) override;

    // Advances virtual time, running every job that falls due, in order of due time and then
    // of arming; jobs armed by jobs run too when they fall due within the step.
    void advance(int ms);
    // Advances virtual time to the moment the armed job of this name falls due, running it and
    // everything due before it. False, and no time passes, when it is not armed.
    bool advanceTo(const QString& name);
    // Runs until no job is armed (bounded, so a job that re-arms itself cannot hang a test).
    void runAll(int maxMs = 60000);

    qint64 now() const { return now_; }
    // Names of the jobs run so far, with the virtual time they ran at.
    QStringList log;
    std::vector<qint64> logTimes;

  private:
    struct Entry {
        QString name;
        qint64 due;
        quint64 seq;
        std::function<void()> job;
    };
    std::vector<Entry> pending_;
    qint64 now_ = 0;
    quint64 seq_ = 0;
};

} // namespace tb
