#include "haupt.h"
#include "qt_dialogs.h"
#include "special_folders.h"
#include "startup.h"
#include "tillbook_dialogs.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// Logout and shutdown end the run like "Beenden": without any dialog, but with the file
// protected and the lock released.
void watchEndSignals(QApplication& app, tb::Haupt& window) {
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
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, &window] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        while (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        window.close();
        app.quit();
    });
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tillbook"));
    QApplication::setApplicationName(QStringLiteral("Tillbook"));
    tb::installGermanTranslation();

    tb::TillbookDialogs dialogs;
    tb::SettingsStore store;
    tb::SystemClock clock;
    tb::TimerScheduler scheduler;
    tb::waitForModalDialogs(scheduler);

    tb::Startup startup(store, dialogs, tb::Windowsverzeichnisse::commonDocuments());
    std::unique_ptr<tb::Session> session = startup.open();
    if (!session)
        return 1;

    int rc = 0;
    {
        tb::Haupt window(
            {session->db.get(), &dialogs, &clock, &scheduler, &store, session->dataPath});
        dialogs.setParent(&window);
        watchEndSignals(app, window);
        window.show();
        window.activate();
        rc = app.exec();
        dialogs.setParent(nullptr);
    }
    // The run is over: the file gets its password back and the lock goes.
    tb::Startup::close(*session);
    return rc;
}
