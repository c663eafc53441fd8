#include "progress_window.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMutex>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <atomic>

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

namespace {
// What the worker reports; the window reads it a few times a second.
class SharedProgress : public Progress {
  public:
    void begin(const QString& text, qint64 total) override {
        QMutexLocker lock(&mutex_);
        text_ = text;
        total_ = total;
        done_ = 0;
    }
    bool step(qint64 done) override {
        done_ = done;
        return !stopped_;
    }
    void stop() { stopped_ = true; }
    QString text(qint64& total) {
        QMutexLocker lock(&mutex_);
        total = total_;
        return text_;
    }
    qint64 done() const { return done_; }

  private:
    QMutex mutex_;
    QString text_;
    qint64 total_ = 0;
    std::atomic<qint64> done_{0};
    std::atomic<bool> stopped_{false};
};

// Holds back what the operator types and clicks (and closing a window) while the work runs;
// only the progress window's own "Abbrechen" (and Escape there) gets through.
class InputHold : public QObject {
  public:
    QWidget* open = nullptr;
    std::function<void()> escape;
    bool eventFilter(QObject* o, QEvent* e) override {
        // Input reaches the window system's window first, then the widget in it.
        const bool ours =
            open && (o->isWidgetType() ? o == open || open->isAncestorOf(static_cast<QWidget*>(o))
                                       : o->isWindowType() && o == open->windowHandle());
        if (ours && e->type() != QEvent::Close) {
            if (e->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
                escape();
                return true;
            }
            return false;
        }
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }
};
} // namespace

void runWithProgress(QWidget* parent, const QString& title,
                     const std::function<void(Progress&)>& work, int showAfterMs, bool stoppable) {
    SharedProgress progress;
    InputHold hold;
    qApp->installEventFilter(&hold);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    QDialog window(parent);
    window.setObjectName(QStringLiteral("Fortschritt"));
    window.setWindowTitle(title);
    window.setWindowModality(Qt::ApplicationModal);
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(380);
    auto* bar = new QProgressBar;
    bar->setAccessibleName(QStringLiteral("Fortschritt"));
    layout->addWidget(label);
    layout->addWidget(bar);
    if (stoppable) {
        auto* stop = new QPushButton(QStringLiteral("Abbrechen"));
        stop->setAccessibleName(QStringLiteral("Abbrechen"));
        auto stopNow = [&progress, stop] {
            progress.stop();
            stop->setEnabled(false);
        };
        QObject::connect(stop, &QPushButton::clicked, stop, stopNow);
        layout->addWidget(stop, 0, Qt::AlignRight);
        hold.open = &window;
        hold.escape = stopNow;
    }

    QEventLoop loop;
    QThread* thread = QThread::create([&] { work(progress); });
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        qint64 total = 0;
        label->setText(progress.text(total));
        // Without a measure the bar moves to and fro.
        bar->setRange(0, total > 0 ? 1000 : 0);
        if (total > 0)
            bar->setValue(int(std::min<qint64>(1000, progress.done() * 1000 / total)));
        if (!window.isVisible() && clock.elapsed() >= showAfterMs) {
            window.adjustSize();
            window.show();
            if (hold.open)
                window.activateWindow(); // Escape goes to it
        }
    });
    clock.start();
    poll.start();
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
    poll.stop();
    window.hide();
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&hold);
}

} // namespace tb
