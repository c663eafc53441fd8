#include "file_copy.h"

#include "data_paths.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tb {

QString germanReason(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Der Datenträger ist voll.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert: Es fehlt die Berechtigung.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Die Datei oder der Ordner ist nicht vorhanden.");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EISDIR:
        return QStringLiteral("Der Pfad ist ein Ordner.");
    case EIO:
        return QStringLiteral("Lese- oder Schreibfehler auf dem Datenträger.");
    case EBUSY:
        return QStringLiteral("Die Datei ist in Benutzung.");
    case ENOTEMPTY:
        return QStringLiteral("Der Ordner ist nicht leer.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Pfad ist zu lang.");
    case ELOOP:
        return QStringLiteral("Zu viele symbolische Verknüpfungen im Pfad.");
    case EXDEV:
        return QStringLiteral("Datei und Ziel liegen auf verschiedenen Datenträgern.");
    default:
        return QStringLiteral("Systemfehler %1.").arg(err);
    }
}

FileResult fromErrno(int err) {
    FileResult r;
    r.number = err;
    r.systemText = QString::fromLocal8Bit(std::strerror(err));
    r.detail = err ? germanReason(err) + QStringLiteral(" (") + r.systemText + QLatin1Char(')')
                   : QString();
    switch (err) {
    case 0:
        r.error = FileError::None;
        break;
    case ENOSPC:
    case EDQUOT:
        r.error = FileError::DiskFull;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        r.error = FileError::AccessDenied;
        break;
    case ENOENT:
    case ENOTDIR:
        r.error = FileError::NotFound;
        break;
    default:
        r.error = FileError::Other;
    }
    return r;
}

static bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool syncFile(const QString& path) {
    return syncPath(path, O_RDONLY);
}

bool syncFolderOf(const QString& path) {
    QString folder = paths::folderOf(path);
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

FileResult replaceFile(const QString& src, const QString& dst) {
    if (::rename(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) != 0)
        return fromErrno(errno);
    syncFolderOf(dst);
    return {};
}

QString copyTempOf(const QString& dst) {
    return dst + QStringLiteral(".tmp-copy");
}

FileResult checkWritable(const QString& dst, qint64 needBytes) {
    const QString folder =
        paths::folderOf(dst).isEmpty() ? QStringLiteral(".") : paths::folderOf(dst);
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return fromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return fromErrno(ENOTDIR);
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return fromErrno(errno);
    struct statvfs vfs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &vfs) == 0 &&
        static_cast<qint64>(vfs.f_bavail) * static_cast<qint64>(vfs.f_frsize) < needBytes)
        return fromErrno(ENOSPC);
    // A file of its own proves the folder takes one; dst itself is not touched.
    const QByteArray probe =
        QFile::encodeName(dst + QStringLiteral(".tmp-probe-%1").arg(::getpid()));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return fromErrno(errno);
    ::close(fd);
    ::unlink(probe.constData());
    return {};
}

// Writes all n bytes; the error number of the first failed write, or 0.
static int writeAll(int fd, const char* data, size_t n) {
    size_t written = 0;
    while (written < n) {
        const ssize_t w = ::write(fd, data + written, n - written);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<size_t>(w);
    }
    return 0;
}

// Flushes and closes a temporary file; after any failure it is removed. The error, or 0.
static int finish(int fd, const QString& tmp, int err) {
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (err)
        ::unlink(QFile::encodeName(tmp).constData());
    return err;
}

FileResult writeWholeFile(const QString& dst, const QByteArray& bytes) {
    const QString tmp = copyTempOf(dst);
    const int out = ::open(QFile::encodeName(tmp).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0)
        return fromErrno(errno);
    const int err =
        finish(out, tmp, writeAll(out, bytes.constData(), static_cast<size_t>(bytes.size())));
    if (err)
        return fromErrno(err);
    const FileResult renamed = replaceFile(tmp, dst);
    if (!renamed.ok())
        ::unlink(QFile::encodeName(tmp).constData());
    return renamed;
}

FileResult FileCopy(const QString& src, const QString& dst,
                    const std::function<FileResult(const QString& tmp)>& verify) {
    const int in = ::open(QFile::encodeName(src).constData(), O_RDONLY);
    if (in < 0)
        return fromErrno(errno);
    const QString tmp = copyTempOf(dst);
    const int out = ::open(QFile::encodeName(tmp).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return fromErrno(err);
    }
    char buffer[1 << 16];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        if ((err = writeAll(out, buffer, static_cast<size_t>(n))) != 0)
            break;
    }
    ::close(in);
    if ((err = finish(out, tmp, err)) != 0)
        return fromErrno(err);
    if (verify) {
        const FileResult checked = verify(tmp);
        if (!checked.ok()) {
            ::unlink(QFile::encodeName(tmp).constData());
            return checked;
        }
    }
    const FileResult renamed = replaceFile(tmp, dst);
    if (!renamed.ok())
        ::unlink(QFile::encodeName(tmp).constData());
    return renamed;
}

} // namespace tb
