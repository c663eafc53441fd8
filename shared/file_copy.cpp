#include "file_copy.h"

#include "data_paths.h"

#include <QFile>
#include <QHashFunctions>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace tb {

static bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void Writeback::wrote(qint64 written) {
    constexpr qint64 kStep = qint64{8} << 20;
    if (written - started_ < kStep)
        return;
    ::sync_file_range(fd_, started_, written - started_, SYNC_FILE_RANGE_WRITE);
    started_ = written;
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

Result replaceFile(const QString& src, const QString& dst) {
    if (::rename(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) != 0)
        return fromErrno(errno);
    syncFolderOf(dst);
    return {};
}

PendingFile::PendingFile(QString target, QString temp, Mode mode)
    : target_(std::move(target)), temp_(std::move(temp)), mode_(mode) {}

PendingFile::~PendingFile() {
    if (!placed_)
        discard();
}

void PendingFile::discard() {
    ::unlink(QFile::encodeName(temp_).constData());
    ::unlink(QFile::encodeName(temp_ + QStringLiteral("-journal")).constData());
}

Result PendingFile::check(const Check& check) {
    if (!syncFile(temp_))
        return fromErrno(errno);
    return check ? check(temp_) : Result{};
}

Result PendingFile::putInPlace(const Check& checkFile) {
    Result r = check(checkFile);
    if (r.ok() && mode_ == Mode::TargetsMode)
        QFile::setPermissions(temp_, QFile::permissions(target_));
    if (r.ok())
        r = replaceFile(temp_, target_);
    if (!r.ok())
        discard();
    placed_ = r.ok();
    return r;
}

QString copyTempOf(const QString& dst) {
    return dst + QStringLiteral(".tmp-copy");
}

Result checkWritable(const QString& dst, qint64 needBytes) {
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

qint64 readFully(int fd, void* buffer, size_t size, qint64 offset) {
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = offset < 0
                              ? ::read(fd, bytes + done, size - done)
                              : ::pread(fd, bytes + done, size - done,
                                        static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<qint64>(done);
}

bool writeFully(int fd, const void* buffer, size_t size) {
    const auto* bytes = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) { // nothing written and no error: the device takes no more
            errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

namespace {
constexpr size_t kBlock = size_t{1} << 20;

// The hash of the next block, chained to the hash of the blocks before.
size_t chain(size_t hash, const char* block, size_t size) {
    return qHashBits(block, size, hash);
}

// What was read back from the copy: its hash and length.
struct Hashed {
    size_t hash = 1;
    qint64 bytes = 0;
    int err = 0;
};

Hashed hashOf(const QString& path, std::vector<char>& buffer) {
    Hashed h;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        h.err = errno;
        return h;
    }
    for (;;) {
        // Whole blocks, however the system splits the reads: the same bytes hash alike.
        const qint64 n = readFully(fd, buffer.data(), buffer.size());
        if (n < 0) {
            h.err = errno;
            break;
        }
        if (n == 0)
            break;
        h.hash = chain(h.hash, buffer.data(), static_cast<size_t>(n));
        h.bytes += n;
    }
    ::close(fd);
    return h;
}
} // namespace

// Flushes and closes a temporary file. The first error, or 0.
static int finish(int fd, int err) {
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    return err;
}

Result writeWholeFile(const QString& dst, const QByteArray& bytes) {
    const QString tmp = copyTempOf(dst);
    const int out =
        ::open(QFile::encodeName(tmp).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        return fromErrno(errno);
    PendingFile pending(dst, tmp);
    const bool written = writeFully(out, bytes.constData(), static_cast<size_t>(bytes.size()));
    const int err = finish(out, written ? 0 : errno);
    if (err)
        return fromErrno(err);
    return pending.putInPlace();
}

Result FileCopy(const QString& src, const QString& dst,
                const std::function<Result(const QString& tmp)>& verify) {
    const int in = ::open(QFile::encodeName(src).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fromErrno(errno);
    const QString tmp = copyTempOf(dst);
    const int out =
        ::open(QFile::encodeName(tmp).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return fromErrno(err);
    }
    PendingFile pending(dst, tmp);
    std::vector<char> buffer(kBlock);
    Writeback writeback(out);
    Hashed written;
    int err = 0;
    for (;;) {
        const qint64 n = readFully(in, buffer.data(), buffer.size());
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0)
            break;
        written.hash = chain(written.hash, buffer.data(), static_cast<size_t>(n));
        written.bytes += n;
        if (!writeFully(out, buffer.data(), static_cast<size_t>(n))) {
            err = errno;
            break;
        }
        writeback.wrote(written.bytes);
    }
    ::close(in);
    if ((err = finish(out, err)) != 0)
        return fromErrno(err);
    return pending.putInPlace([&](const QString& copy) {
        // The copy is read back: every byte on disk must be the byte written.
        const Hashed back = hashOf(copy, buffer);
        if (back.err)
            return fromErrno(back.err);
        if (back.bytes != written.bytes || back.hash != written.hash) {
            Result r = fromErrno(EIO);
            r.detail = QStringLiteral("Die Kopie ist nicht in Ordnung: Die gelesenen Daten "
                                      "stimmen nicht mit den geschriebenen überein.");
            return r;
        }
        return verify ? verify(copy) : Result{};
    });
}

} // namespace tb
