#pragma once

#include "desktop.h"

#include <QStringList>

namespace tb::test {

// A desktop without network that keeps what it was asked to open.
struct RecordingDesktop : Desktop {
    std::optional<QByteArray> versionFile; // what fetch returns; nothing: offline
    QStringList opened;
    std::function<void()> failed; // of the last document opened
    std::optional<QByteArray> fetch(const QString&) override { return versionFile; }
    void openUrl(const QString& url) override { opened << url; }
    void openDocument(const QString& path, std::function<void()> f) override {
        opened << path;
        failed = std::move(f);
    }
};

} // namespace tb::test
