#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace tb {

// What the program asks of the desktop and the network: the version file fetched, an address
// (the download, the web site) or a document (the manual) opened.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // A small file; nothing when it could not be fetched.
    virtual std::optional<QByteArray> fetch(const QString& url) = 0;
    virtual void openUrl(const QString& url) = 0;
    // `failed` runs when nothing could show the document.
    virtual void openDocument(const QString& path, std::function<void()> failed) = 0;
};

// The desktop the program runs on.
class QtDesktop final : public Desktop {
  public:
    static QtDesktop& instance();
    std::optional<QByteArray> fetch(const QString& url) override;
    void openUrl(const QString& url) override;
    void openDocument(const QString& path, std::function<void()> failed) override;
};

} // namespace tb
