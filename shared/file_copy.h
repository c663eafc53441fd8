#pragma once

#include "result.h"

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tb {

// Copies src over dst. The copy is written to a temporary file beside dst (dst + ".tmp-copy"),
// flushed to disk, read back (its bytes must hash to the bytes written, and be as many),
// checked by verify when one is given, and only then renamed over dst, so dst is never
// half-written: it is either the old file or the whole new one. A copy that fails a check is
// removed and dst stays as it was.
Result FileCopy(const QString& src, const QString& dst,
                const std::function<Result(const QString& tmp)>& verify = {});
QString copyTempOf(const QString& dst);

// Writes bytes as the file dst the same way: beside it, every write checked, flushed, renamed
// into place. On a failure dst is as it was and the cause is returned.
Result writeWholeFile(const QString& dst, const QByteArray& bytes);

// Whether a file could be written at dst, checked without touching dst itself: the folder
// exists (it is never created), may be written, and has room for needBytes.
Result checkWritable(const QString& dst, qint64 needBytes);

// Reads until size bytes are read or the file ends, at offset (or, when it is -1, from the
// current position): the count read, or -1 with errno set.
qint64 readFully(int fd, void* buffer, size_t size, qint64 offset = -1);
// Writes every byte; false with errno set.
bool writeFully(int fd, const void* buffer, size_t size);

// Hands the bytes written so far to the disk without waiting, every few MiB: the flush at the
// end then finds most of a large file on disk already. written is the count written so far.
class Writeback {
  public:
    explicit Writeback(int fd) : fd_(fd) {}
    void wrote(qint64 written);

  private:
    int fd_;
    qint64 started_ = 0;
};

// Flushes a file's data to disk (fsync); syncFolderOf flushes the entry of the folder it
// stands in, so a rename into it survives a power cut.
bool syncFile(const QString& path);
bool syncFolderOf(const QString& path);

// Renames src to dst atomically, replacing dst, and flushes the folder entry.
Result replaceFile(const QString& src, const QString& dst);

// A whole file written beside its target under a temporary name, put in the target's place only
// when it is complete, flushed to disk and checked: until then the target is untouched. A file
// that is not put in place is removed, with a journal the engine left beside it, when the object
// goes (or on discard()).
class PendingFile {
  public:
    using Check = std::function<Result(const QString& temp)>;
    enum class Mode { NewFile, TargetsMode };

    // mode: TargetsMode gives the file the target's permissions before it takes its place.
    PendingFile(QString target, QString temp, Mode mode = Mode::NewFile);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const QString& path() const { return temp_; }
    const QString& target() const { return target_; }

    // Flushes the file to disk and runs check on it: the file stays beside the target.
    Result check(const Check& check = {});
    // check(), then the rename over the target with the folder flushed. On a failure the file
    // is removed and the target stays as it was.
    Result putInPlace(const Check& check = {});
    // Removes the file and its journal (a leftover of an earlier attempt, or a failed one).
    void discard();

  private:
    QString target_;
    QString temp_;
    Mode mode_;
    bool placed_ = false;
};

} // namespace tb
