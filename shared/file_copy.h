#pragma once

#include <QString>
#include <functional>

namespace tb {

// Outcome of a file operation, mapped from errno.
enum class FileError { None, DiskFull, AccessDenied, NotFound, Other };

struct FileResult {
    FileError error = FileError::None;
    int number = 0;     // the system's error number (errno)
    QString systemText; // the system's own text for it
    QString detail;     // the cause in German, then the system's text, for messages
    bool ok() const { return error == FileError::None; }
};

// The cause of a system error number in German ("Der Datenträger ist voll.").
QString germanReason(int err);

// Copies src over dst. The copy is written to a temporary file beside dst (dst + ".tmp-copy"),
// flushed to disk, checked by verify when one is given, and only then renamed over dst, so dst
// is never half-written: it is either the old file or the whole new one. A copy that fails
// the check is removed and dst stays as it was.
FileResult FileCopy(const QString& src, const QString& dst,
                    const std::function<FileResult(const QString& tmp)>& verify = {});
QString copyTempOf(const QString& dst);

// Writes bytes as the file dst the same way: beside it, every write checked, flushed, renamed
// into place. On a failure dst is as it was and the cause is returned.
FileResult writeWholeFile(const QString& dst, const QByteArray& bytes);

// Whether a file could be written at dst, checked without touching dst itself: the folder
// exists (it is never created), may be written, and has room for needBytes.
FileResult checkWritable(const QString& dst, qint64 needBytes);

// Flushes a file's data to disk (fsync); syncFolderOf flushes the entry of the folder it
// stands in, so a rename into it survives a power cut.
bool syncFile(const QString& path);
bool syncFolderOf(const QString& path);

// Renames src to dst atomically, replacing dst, and flushes the folder entry.
FileResult replaceFile(const QString& src, const QString& dst);

// Maps an errno value to a FileError.
FileResult fromErrno(int err);

} // namespace tb
