#pragma once

#include "dialogs.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace tb {

// The version check: the text published on the update server is compared as a whole with the
// installed version text; when they differ the operator is asked, and Yes hands the download
// address to the desktop and ends the program.
class VersionCheck {
  public:
    // The installed version text ("Version 1.00.05") and its date, both from the one version
    // of the build (CMakeLists.txt).
    static QString installedVersion();
    static QString releaseDate();
    // The server's root: TILLBOOK_UPDATE_URL when set (tests, administrators), otherwise the
    // address the program was built with.
    static QString serverBase();
    static QString versionUrl() { return serverBase() + QStringLiteral("/Version_k.txt"); }
    static QString downloadUrl() {
        return serverBase() + QStringLiteral("/Download/Tillbook_Setup.exe");
    }
    // The update question with the server's text (shown as plain text, cut to 200 characters).
    static QString question(const QString& serverText);
    // The published text from the bytes received: Windows-1252, at most 50 000 bytes.
    static QString textOf(const QByteArray& received);

    // Fetches an address; nothing when it could not be fetched (no network, a server error,
    // the time-out).
    using Fetch = std::function<std::optional<QByteArray>(const QString& url)>;
    using Open = std::function<void(const QString& url)>;
    VersionCheck(Dialogs& dialogs, Fetch fetch, Open open)
        : dialogs_(dialogs), fetch_(std::move(fetch)), open_(std::move(open)) {}

    // At start: fetch, compare, ask. A failed fetch or an empty version file asks nothing and
    // says nothing. True when the operator chose the update (the program then ends at once).
    bool atStart();
    // "Online-Update": asks at once with the text fetched at start. True for Yes. Without a
    // text from the server there is nothing to ask: the operator is told so.
    bool fromMenu();
    const QString& serverText() const { return server_; }
    // Whether the server answered with a version text.
    bool hasAnswer() const { return !server_.trimmed().isEmpty(); }

  private:
    bool ask();
    Dialogs& dialogs_;
    Fetch fetch_;
    Open open_;
    QString server_;
};

} // namespace tb
