#include "cp1252.h"

#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace tb {

namespace {
// The byte of one character, or nothing when the code page has none for it. Latin-1 and the
// code page agree on everything but 0x80-0x9F, where Windows-1252 keeps the euro sign, the
// typographic quotes and dashes; those are looked up in a table read once from the codec.
std::optional<char> byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    static const QHash<char32_t, char> upper = [] {
        QHash<char32_t, char> t;
        for (int b = 0x80; b <= 0x9F; ++b) {
            const char byte = static_cast<char>(b);
            const QString c = QStringDecoder("windows-1252").decode(QByteArray(1, byte));
            if (c.size() == 1 && c[0] != QChar::ReplacementCharacter)
                t.insert(c[0].unicode(), byte);
        }
        return t;
    }();
    const auto it = upper.constFind(cp);
    if (it == upper.constEnd())
        return std::nullopt;
    return *it;
}
} // namespace

QByteArray toCp1252(const QString& text, QString* outside) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4()) {
        if (const auto b = byteOf(cp)) {
            out += *b;
            continue;
        }
        out += '?';
        if (outside) {
            const QString c = QString::fromUcs4(&cp, 1);
            if (!outside->contains(c))
                *outside += c;
        }
    }
    return out;
}

QString fromCp1252(const QByteArray& bytes) {
    QStringDecoder dec("windows-1252");
    return dec.decode(bytes);
}

QString charactersOutsideCp1252(const QString& text) {
    QString out;
    toCp1252(text, &out);
    return out;
}

} // namespace tb
