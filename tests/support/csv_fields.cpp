#include "csv_fields.h"

namespace tb::test {

QStringList csvFields(const QString& line) {
    QStringList fields;
    QString field;
    bool inQuotes = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ';') {
            fields << field;
            field.clear();
        } else if (c == '\r' && line.mid(i, 2) == "\r\n") {
            break;
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace tb::test
