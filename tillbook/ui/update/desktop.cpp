#include "desktop.h"

#include "http_fetch.h"
#include "manual.h"

#include <QDesktopServices>
#include <QUrl>

namespace tb {

QtDesktop& QtDesktop::instance() {
    static QtDesktop desktop;
    return desktop;
}

std::optional<QByteArray> QtDesktop::fetch(const QString& url) {
    return fetchSmallFile(url);
}

void QtDesktop::openUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

void QtDesktop::openDocument(const QString& path, std::function<void()> failed) {
    openOnDesktop(path, std::move(failed));
}

} // namespace tb
