#include "cp1252.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace tb {

namespace {
// The byte of one character, or nothing when the code page has none for it.
std::optional<char> byteOf(char32_t cp) {
    const QString c = QString::fromUcs4(&cp, 1);
    QStringEncoder enc("windows-1252", QStringEncoder::Flag::Stateless);
    const QByteArray b = enc.encode(c);
    if (enc.hasError() || b.size() != 1 || (b == "?" && cp != U'?'))
        return std::nullopt;
    return b[0];
}
} // namespace

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4()) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        out += byteOf(cp).value_or('?');
    }
    return out;
}

QString fromCp1252(const QByteArray& bytes) {
    QStringDecoder dec("windows-1252");
    return dec.decode(bytes);
}

QString charactersOutsideCp1252(const QString& text) {
    QString out;
    for (const char32_t cp : text.toUcs4()) {
        if (cp < 0x80 || byteOf(cp))
            continue;
        const QString c = QString::fromUcs4(&cp, 1);
        if (!out.contains(c))
            out += c;
    }
    return out;
}

} // namespace tb
