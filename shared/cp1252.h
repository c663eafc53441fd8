#pragma once

#include <QByteArray>
#include <QString>

namespace tb {

// Windows-1252, the code page of the stored password, the CSV export and the version file.
// A character outside it becomes "?", one character for one; each such character is added
// once to *outside when given.
QByteArray toCp1252(const QString& text, QString* outside = nullptr);
QString fromCp1252(const QByteArray& bytes);
// The characters of a text that Windows-1252 cannot hold, each once, in the order they occur.
QString charactersOutsideCp1252(const QString& text);

} // namespace tb
