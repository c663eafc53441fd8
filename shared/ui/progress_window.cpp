#include "progress_window.h"

#include <QApplication>
#include <QProgressDialog>

namespace tb {

ProgressWindow::ProgressWindow(QWidget* parent) : parent_(parent) {}

ProgressWindow::~ProgressWindow() {
    end();
}

void ProgressWindow::begin(const QString& label, qint64 total) {
    end();
    // The bar counts in int: a total beyond it is counted in larger units.
    scale_ = 1;
    while (total / scale_ > 1'000'000)
        scale_ *= 10;
    bar_ = std::make_unique<QProgressDialog>(label, QStringLiteral("Abbrechen"), 0,
                                             static_cast<int>(total / scale_), parent_);
    bar_->setWindowTitle(QStringLiteral("Bitte warten"));
    bar_->setAccessibleName(label);
    bar_->setWindowModality(Qt::ApplicationModal);
    bar_->setMinimumDuration(1000);
    bar_->setAutoClose(false);
    bar_->setAutoReset(false);
    bar_->setValue(0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    busy_ = true;
}

bool ProgressWindow::step(qint64 done) {
    if (!bar_)
        return true;
    // A modal bar lets the event loop run here: "Abbrechen" is seen.
    bar_->setValue(static_cast<int>(std::min<qint64>(done / scale_, bar_->maximum())));
    return !bar_->wasCanceled();
}

void ProgressWindow::end() {
    if (bar_) {
        bar_->reset();
        bar_->hide();
        bar_.reset();
    }
    if (busy_) {
        QApplication::restoreOverrideCursor();
        busy_ = false;
    }
}

} // namespace tb
