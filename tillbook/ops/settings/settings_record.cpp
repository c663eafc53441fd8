#include "settings_record.h"

namespace tb {

namespace {
const QString& kTable = schema::Settings::table;
const QString kSource = QStringLiteral("Select * from Einstellungen;");
} // namespace

SettingsRecord::SettingsRecord(Database* db) : view_(db, kTable, kSource) {
    reload();
}

bool SettingsRecord::reload() {
    DataView fresh(view_.database(), kTable, kSource);
    if (!fresh.refresh())
        return false;
    if (fresh.isEmpty()) {
        // A file without its settings record gets one, so every later save has a place to go.
        fresh.addNew();
        if (!fresh.update())
            return false;
    }
    view_ = std::move(fresh);
    loaded_ = true;
    return true;
}

QString SettingsRecord::get(const QString& column) const {
    return view_.value(column);
}

void SettingsRecord::set(const QString& column, const QString& value) {
    view_.setValue(column, value);
}

Result SettingsRecord::save() {
    return view_.update();
}

} // namespace tb
