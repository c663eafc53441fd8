#include "line_order.h"

namespace tb {

quint64 lineDateKey(std::string_view date) {
    quint64 key = 0;
    for (const auto& [from, width] : {std::pair<size_t, size_t>{6, 4}, {3, 2}, {0, 2}}) {
        for (size_t i = 0; i < width; ++i) {
            const size_t at = from + i;
            key = (key << 8) | (at < date.size() ? static_cast<unsigned char>(date[at]) : 0u);
        }
    }
    return key;
}

} // namespace tb
