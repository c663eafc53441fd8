#pragma once

#include <QtGlobal>
#include <compare>
#include <string_view>

namespace tb {

// The order of the lines in the running balance and in the listings: by year, month and day,
// taken from the date text by position (characters 7-10, 4-5 and 1-2, each compared as text),
// then by ID; a line without a date (NULL) comes first, as the engine sorts NULL first.
//
// The three parts are packed into one number that sorts the same way: each part's bytes,
// padded with zero bytes to its width.
quint64 lineDateKey(std::string_view date);

struct DateKey {
    bool dated = true; // false for NULL
    quint64 parts = 0;
    auto operator<=>(const DateKey&) const = default;
};

inline DateKey dateKeyOf(std::string_view date, bool null = false) {
    return null ? DateKey{false, 0} : DateKey{true, lineDateKey(date)};
}

struct LineOrderKey {
    DateKey date;
    qint64 id = 0;
    auto operator<=>(const LineOrderKey&) const = default;
};

} // namespace tb
