#include "settings_store.h"

#include <QSettings>

namespace tb {

SettingsStore::SettingsStore(QString application) : application_(std::move(application)) {}

QString SettingsStore::get(const QString& section, const QString& key,
                           const QString& defaultValue) const {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, application_, application_);
    const QVariant v = s.value(section + QLatin1Char('/') + key);
    if (!v.isValid())
        return defaultValue;
    // A value written by hand as a list or number still reads as text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

void SettingsStore::save(const QString& section, const QString& key, const QString& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, application_, application_);
    s.setValue(section + QLatin1Char('/') + key, value);
}

void SettingsStore::remove(const QString& section, const QString& key) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, application_, application_);
    s.remove(section + QLatin1Char('/') + key);
}

} // namespace tb
