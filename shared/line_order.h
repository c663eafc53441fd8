#pragma once

#include <QtGlobal>
#include <string_view>

namespace tb {

// The order of the lines in the running balance and in the listings: by year, month and day,
// taken from the date text by position (characters 7-10, 4-5 and 1-2, each compared as text),
// then by ID. The three parts are packed into one number that sorts the same way: each part's
// bytes, padded with zero bytes to its width.
quint64 lineDateKey(std::string_view date);

struct LineOrderKey {
    quint64 date;
    qint64 id;
    friend bool operator<(const LineOrderKey& a, const LineOrderKey& b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    }
    friend bool operator==(const LineOrderKey&, const LineOrderKey&) = default;
};

} // namespace tb
