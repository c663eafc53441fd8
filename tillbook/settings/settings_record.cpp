#include "settings_record.h"

namespace tb {

SettingsRecord::SettingsRecord(Database* db)
    : view_(db, QStringLiteral("Einstellungen"), QStringLiteral("Select * from Einstellungen;")) {
    reload();
}

void SettingsRecord::reload() {
    view_.refresh();
    if (view_.isEmpty()) {
        // A file without its settings record gets one, so every later save has a place to go.
        view_.addNew();
        view_.update();
    }
}

QString SettingsRecord::get(const QString& column) const {
    return view_.value(column);
}

void SettingsRecord::set(const QString& column, const QString& value) {
    view_.setValue(column, value);
}

bool SettingsRecord::save(QString* error) {
    return view_.update(error);
}

} // namespace tb
