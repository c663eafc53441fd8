#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tb {

// One small file over HTTP, the way the version check asks for it: the agent "Wininet Test",
// never from a cache, at most 50 000 bytes, waiting no longer than timeoutMs. Nothing on any
// failure (no network, a server error, the time-out).
std::optional<QByteArray> fetchSmallFile(const QString& url, int timeoutMs = 3000);

} // namespace tb
