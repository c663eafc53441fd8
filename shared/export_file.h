#pragma once

#include "file_copy.h"

#include <QByteArray>
#include <QString>

namespace tb {

// One line of a semicolon-separated export in Windows-1252. Fields are added in order; text
// fields are enclosed in double quotes with inner quotes doubled, numbers and empty fields
// stand as they are. Characters the code page lacks become "?" and are remembered, so the
// message after the export can name them.
class Cp1252Line {
  public:
    explicit Cp1252Line(char separator = ';') : separator_(separator) {}

    // A field as it stands (numbers, dates, and the empty field).
    Cp1252Line& plain(const QString& field);
    Cp1252Line& plain(const char* ascii);
    Cp1252Line& empty() { return plain(""); }
    // A text field in quotes. maxChars > 0 cuts the text to so many characters first (after
    // line breaks and tabs became blanks and every character became one byte).
    Cp1252Line& quoted(const QString& text, int maxChars = 0);

    const QByteArray& bytes() const { return bytes_; }
    int fields() const { return fields_; }
    const QString& replaced() const { return replaced_; }
    void clear();

  private:
    void separate();
    char separator_;
    int fields_ = 0;
    QByteArray bytes_;
    QString replaced_;
};

// A file others read (an export), written so that it is never half there: the lines go to a
// temporary file beside the target (target + ".tmp-export"), which is flushed to disk and
// renamed over the target only when complete. Until the rename the target is untouched; a file
// that is not committed removes its temporary file (also when the object is destroyed). Every
// line ends with CR LF.
class ExportFile {
  public:
    explicit ExportFile(QString target);
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    static QString tempPathOf(const QString& target) {
        return target + QStringLiteral(".tmp-export");
    }
    const QString& target() const { return target_; }

    // Creates the temporary file (a stale one of a run cut short is replaced).
    Result open();
    // Appends a line and CR LF. The first error is kept and returned by finish(); later lines
    // are dropped.
    void write(const Cp1252Line& line);
    void write(const QByteArray& bytes);
    qint64 linesWritten() const { return lines_; }
    // The characters replaced by "?" in every line written, each once.
    const QString& replaced() const { return replaced_; }

    // Writes what is buffered, flushes the file to disk and closes it: after this the
    // temporary file is whole. The error of any write before, or of this step.
    Result finish();
    // Puts the whole file in place of the target (finishing it first when needed).
    Result commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

  private:
    void flushBuffer();
    QString target_;
    PendingFile pending_;
    int fd_ = -1;
    int error_ = 0;
    bool finished_ = false;
    bool committed_ = false;
    qint64 lines_ = 0;
    QByteArray buffer_;
    QString replaced_;
};

} // namespace tb
