#include "child.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <unistd.h>

namespace tb::test {

namespace {
constexpr uid_t kNobody = 65534;
bool root() {
    return geteuid() == 0;
}
} // namespace

bool ToolRun::printed(const QString& start) const {
    for (const QString& l : lines)
        if (l.startsWith(start))
            return true;
    return false;
}

UserFolder::UserFolder() : dir_(QDir::tempPath() + QStringLiteral("/tb-user-XXXXXX")) {
    own(dir_.path());
}

void UserFolder::own(const QString& path) const {
    if (root()) {
        [[maybe_unused]] const int rc =
            ::chown(QFile::encodeName(path).constData(), kNobody, kNobody);
    }
}

bool canTestPermissions() {
    return !root() || !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}

ToolRun runTool(const QString& tool, const QStringList& args, const QString& home,
                const QStringList& answers) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("TB_ANSWERS"), answers.join(QLatin1Char(',')));
    p.setProcessEnvironment(env);
    if (root())
        p.start(QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), QStringLiteral("--"), tool} +
                    args);
    else
        p.start(tool, args);
    p.waitForFinished(60000);
    ToolRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& l : r.lines)
        if (l.startsWith(QLatin1String("MSG\t")))
            r.messages << l.mid(4);
    return r;
}

} // namespace tb::test
