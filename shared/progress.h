#pragma once

#include <QString>
#include <QtGlobal>

namespace tb {

// Where a long piece of work says how far it has come: the windows show a progress bar (only
// when the work takes longer than a second) and may let the operator stop it; tools and tests
// take the silent default.
class Progress {
  public:
    virtual ~Progress() = default;
    // A step of the work begins: what it does, and how many units it has.
    virtual void begin(const QString& label, qint64 total) {
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

} // namespace tb
