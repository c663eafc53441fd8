#pragma once

namespace tb {

// The deferred one-shot jobs of the main window with their delays in milliseconds. The delays
// fix the order in which the views are reloaded and the figures recomputed after an event.
struct Job {
    const char* name;
    int delay;
};

namespace jobs {
inline constexpr Job kRecompute{"recompute day view", 200};
inline constexpr Job kSaveLine{"save line", 100};
inline constexpr Job kLoadLines{"load day lines", 100};
inline constexpr Job kShowLine{"show current line", 50};
inline constexpr Job kPressNew{"press new entry", 700};
inline constexpr Job kAfterDayCreated{"after day created", 100};
inline constexpr Job kStartLineOnNewDay{"start line on new day", 200};
inline constexpr Job kEntryState{"entry-field state", 100};
inline constexpr Job kUnlockEditing{"unlock editing", 300};
inline constexpr Job kNewLine{"new line", 360};
inline constexpr Job kFocusRemark{"focus remark", 100};
inline constexpr Job kTillDifference{"till count difference", 100};
inline constexpr Job kCarriedIn{"carried-in balance", 250};
} // namespace jobs

} // namespace tb
