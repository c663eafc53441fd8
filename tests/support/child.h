#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

namespace tb::test {

// What a run of the test tool said.
struct ToolRun {
    int exitCode = -1;
    QStringList messages; // "title\ttext" per message box, line breaks as \n
    QStringList lines;    // everything it printed
    bool printed(const QString& start) const;
};

// A folder of the user the permission tests run as: when the tests run as root, that is
// "nobody" (root may write anywhere, so permissions could not be tested as root).
class UserFolder {
  public:
    UserFolder();
    QString path() const { return dir_.path(); }
    // Hands a file or folder below it to that user.
    void own(const QString& path) const;

  private:
    QTemporaryDir dir_;
};

// Runs tests/tools/tbtool with the arguments, with HOME and the settings in home, as the
// unprivileged user.
ToolRun runTool(const QString& tool, const QStringList& args, const QString& home,
                const QStringList& answers = {});

// Whether the permission tests can run here (as an unprivileged user, or as root with setpriv).
bool canTestPermissions();

} // namespace tb::test
