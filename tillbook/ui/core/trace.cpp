#include "trace.h"

#include <QDateTime>
#include <QtGlobal>
#include <cstdio>

namespace tb {

void trace(const char* event) {
    static const bool on = qEnvironmentVariableIsSet("TILLBOOK_TRACE");
    if (!on)
        return;
    std::fprintf(stderr, "tillbook-trace %lld %s\n",
                 static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), event);
    std::fflush(stderr);
}

} // namespace tb
