#include "data_path_check.h"

#include "data_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace tb::pathcheck {

namespace {
bool accessible(const QString& path, int mode) {
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

bool isSystemFolder(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString f = canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
    for (const char* sys : {"/dev", "/proc", "/sys"}) {
        const QString s = QLatin1String(sys);
        if (f == s || f.startsWith(s + QLatin1Char('/')))
            return true;
    }
    return false;
}
} // namespace

QString realPath(const QString& path) {
    const QFileInfo fi(path);
    if (fi.isSymLink()) {
        const QString target = fi.canonicalFilePath();
        return target.isEmpty() ? path : target;
    }
    // A link in one of the folders leads elsewhere as well.
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

Finding inspect(const QString& path) {
    Finding f;
    f.path = path;
    if (path.contains(QChar::ReplacementCharacter)) {
        f.problem = Problem::Undecodable;
        return f;
    }
    const QFileInfo link(path);
    if (link.isSymLink() && !link.exists()) {
        f.problem = Problem::DanglingLink;
        return f;
    }
    f.path = realPath(path);
    struct stat st {};
    if (::stat(QFile::encodeName(f.path).constData(), &st) != 0) {
        f.problem = Problem::Missing;
        return f;
    }
    if (S_ISDIR(st.st_mode))
        f.problem = Problem::Folder;
    else if (!S_ISREG(st.st_mode))
        f.problem = Problem::NotAFile;
    else if (!accessible(f.path, R_OK))
        f.problem = Problem::Unreadable;
    else if (!accessible(f.path, W_OK))
        f.problem = Problem::FileReadOnly;
    else if (!accessible(paths::folderOf(f.path), W_OK | X_OK))
        f.problem = Problem::FolderReadOnly;
    return f;
}

Result mayCreateAt(const QString& path, bool makeFolder) {
    auto refuse = [](const QString& why) { return finding(why); };
    if (path.contains(QChar::ReplacementCharacter))
        return refuse(QStringLiteral("Der Pfad ist kein gültiger Dateiname."));
    const QString folder = QDir::cleanPath(paths::folderOf(path));
    if (folder.isEmpty())
        return refuse(QStringLiteral("Der Pfad nennt keinen Ordner."));
    // With makeFolder the missing folders are made inside the nearest one that exists.
    QString existing = folder;
    while (makeFolder && !QFileInfo::exists(existing) && existing.count(QLatin1Char('/')) > 1)
        existing = QDir::cleanPath(existing + QStringLiteral("/.."));
    if (isSystemFolder(existing) || isSystemFolder(folder))
        return refuse(QStringLiteral("Der Ordner %1 ist ein Systemordner.").arg(folder));
    const QFileInfo fi(existing);
    if (!fi.exists())
        return refuse(QStringLiteral("Der Ordner %1 ist nicht vorhanden.").arg(existing));
    if (!fi.isDir())
        return refuse(QStringLiteral("%1 ist kein Ordner.").arg(existing));
    if (!accessible(existing, W_OK | X_OK))
        return refuse(
            QStringLiteral("In den Ordner %1 darf nicht geschrieben werden.").arg(existing));
    return {};
}

} // namespace tb::pathcheck
