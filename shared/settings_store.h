#pragma once

#include <QString>

namespace tb {

// The per-user settings store: application, section, key -> text. On Linux this is QSettings
// in user scope (organisation and application "Tillbook"), one group per section.
class SettingsStore {
  public:
    explicit SettingsStore(QString application = QStringLiteral("Tillbook"));

    QString get(const QString& section, const QString& key, const QString& defaultValue) const;
    void save(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);

    // The section both programs use.
    static QString startup() { return QStringLiteral("Startup"); }

  private:
    QString application_;
};

} // namespace tb
