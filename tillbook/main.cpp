#include "desktop.h"
#include "qt_dialogs.h"
#include "run.h"
#include "special_folders.h"
#include "tillbook_dialogs.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
bool* runEndedBySignal = nullptr;

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// Logout and shutdown end the run like "Beenden", but without any dialog: the line being
// saved is written, the weekday copy made, the file protected and the lock released.
void watchEndSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        if (runEndedBySignal)
            *runEndedBySignal = true;
        while (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        app.quit();
    });
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tillbook"));
    QApplication::setApplicationName(QStringLiteral("Tillbook"));
    tb::installGermanTranslation();
    watchEndSignals(app);

    tb::TillbookDialogs dialogs;
    tb::SettingsStore store;
    tb::SystemClock clock;
    tb::TimerScheduler scheduler;
    tb::waitForModalDialogs(scheduler);
    tb::TillbookRun run(dialogs, store, clock, scheduler, tb::QtDesktop::instance(),
                        tb::Windowsverzeichnisse::commonDocuments());
    runEndedBySignal = &run.endedBySignal;
    return run.exec();
}
