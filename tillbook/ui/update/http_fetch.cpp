#include "http_fetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace tb {

std::optional<QByteArray> fetchSmallFile(const QString& url, int timeoutMs) {
    constexpr qint64 kLimit = 50000;
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Wininet Test"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = manager.get(request);
    // Read as it arrives, and no further than the limit: a server that never stops sending
    // costs 50 000 bytes, not all it sends.
    reply->setReadBufferSize(kLimit);
    QByteArray body;
    bool full = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->read(kLimit - body.size());
        if (body.size() >= kLimit) {
            full = true;
            loop.quit();
        }
    });
    timer.start(timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    std::optional<QByteArray> result;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool answered = full || reply->isFinished();
    if (answered && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
        if (!full)
            body += reply->read(kLimit - body.size());
        result = body;
    }
    reply->abort();
    reply->deleteLater();
    return result;
}

} // namespace tb
