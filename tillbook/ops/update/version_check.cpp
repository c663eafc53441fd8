#include "version_check.h"

#include "cp1252.h"

namespace tb {

QString VersionCheck::installedVersion() {
    return QStringLiteral(TILLBOOK_VERSION_TEXT);
}

QString VersionCheck::releaseDate() {
    return QStringLiteral(TILLBOOK_RELEASE_DATE);
}

QString VersionCheck::serverBase() {
    QString base = qEnvironmentVariable("TILLBOOK_UPDATE_URL");
    if (base.isEmpty())
        base = QStringLiteral(TILLBOOK_UPDATE_SERVER);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString VersionCheck::textOf(const QByteArray& received) {
    return fromCp1252(received.left(50000));
}

QString VersionCheck::question(const QString& serverText) {
    const QString installed = installedVersion();
    return QStringLiteral("Sie arbeiten im Moment mit der ") + installed +
           QStringLiteral("\r\n\r\n") + QStringLiteral(" auf dem Server ") + serverText.left(200) +
           QStringLiteral(" --- installiert ") + installed + QStringLiteral("\r\r") +
           QStringLiteral(" Möchten Sie jetzt die neue Version installieren ?") +
           QStringLiteral("\r") +
           QStringLiteral("Tillbook wird dann beendet, um das Update vorzubereiten. ");
}

bool VersionCheck::ask() {
    if (dialogs_.message(question(server_), QStringLiteral("eine neue Version steht zur Verfügung"),
                         Icon::Question, Buttons::YesNo) != Answer::Yes)
        return false;
    if (open_)
        open_(downloadUrl());
    return true;
}

bool VersionCheck::atStart() {
    server_.clear();
    const std::optional<QByteArray> received = fetch_ ? fetch_(versionUrl()) : std::nullopt;
    // Offline, the server down, the time-out: nothing to compare, so nothing to ask.
    if (!received)
        return false;
    server_ = textOf(*received);
    // An empty version file names no version: nothing to ask either.
    if (!hasAnswer() || server_ == installedVersion())
        return false;
    return ask();
}

bool VersionCheck::fromMenu() {
    if (!hasAnswer()) {
        dialogs_.message(QStringLiteral("Vom Update-Server konnte keine Versionsangabe gelesen "
                                        "werden. Bitte prüfen Sie die Internetverbindung und "
                                        "versuchen Sie es später noch einmal."),
                         QStringLiteral("Online-Update"), Icon::Information);
        return false;
    }
    return ask();
}

} // namespace tb
