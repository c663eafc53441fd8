#include "export_file.h"

#include "cp1252.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tb {

namespace {
constexpr qsizetype kBufferBytes = 1 << 16;
} // namespace

void Cp1252Line::separate() {
    if (fields_++ > 0)
        bytes_ += separator_;
}

Cp1252Line& Cp1252Line::plain(const QString& field) {
    separate();
    bytes_ += toCp1252(field, &replaced_);
    return *this;
}

Cp1252Line& Cp1252Line::plain(const char* ascii) {
    separate();
    bytes_ += ascii;
    return *this;
}

Cp1252Line& Cp1252Line::quoted(const QString& text, int maxChars) {
    separate();
    QString t = text;
    // A line break inside a field would end the line for many readers.
    for (QChar& c : t)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    QByteArray b = toCp1252(t, &replaced_);
    if (maxChars > 0 && b.size() > maxChars)
        b.truncate(maxChars);
    bytes_ += '"';
    bytes_ += b.replace('"', "\"\"");
    bytes_ += '"';
    return *this;
}

void Cp1252Line::clear() {
    fields_ = 0;
    bytes_.clear();
    replaced_.clear();
}

ExportFile::ExportFile(QString target)
    : target_(std::move(target)), pending_(target_, tempPathOf(target_)) {}

ExportFile::~ExportFile() {
    if (!committed_)
        discard();
}

Result ExportFile::open() {
    discard();
    fd_ = ::open(QFile::encodeName(pending_.path()).constData(),
                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return fromErrno(errno);
    error_ = 0;
    finished_ = committed_ = false;
    lines_ = 0;
    buffer_.reserve(kBufferBytes + 1024);
    return {};
}

void ExportFile::flushBuffer() {
    qsizetype done = 0;
    while (!error_ && done < buffer_.size()) {
        const ssize_t n =
            ::write(fd_, buffer_.constData() + done, static_cast<size_t>(buffer_.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error_ = n < 0 ? errno : EIO;
        else
            done += n;
    }
    buffer_.clear();
}

void ExportFile::write(const QByteArray& bytes) {
    if (fd_ < 0 || error_)
        return;
    buffer_ += bytes;
    buffer_ += "\r\n";
    ++lines_;
    if (buffer_.size() >= kBufferBytes)
        flushBuffer();
}

void ExportFile::write(const Cp1252Line& line) {
    for (const QChar c : line.replaced())
        if (!replaced_.contains(c))
            replaced_ += c;
    write(line.bytes());
}

Result ExportFile::finish() {
    if (finished_)
        return fromErrno(error_);
    if (fd_ < 0)
        return fromErrno(error_ ? error_ : EBADF);
    flushBuffer();
    if (!error_ && ::fsync(fd_) != 0)
        error_ = errno;
    if (::close(fd_) != 0 && !error_)
        error_ = errno;
    fd_ = -1;
    finished_ = true;
    return fromErrno(error_);
}

Result ExportFile::commit() {
    Result r = finish();
    if (r.ok())
        r = pending_.putInPlace();
    if (!r.ok()) {
        discard();
        return r;
    }
    committed_ = true;
    return r;
}

void ExportFile::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    pending_.discard();
}

} // namespace tb
