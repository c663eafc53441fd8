#pragma once

namespace tb {

// The deferred one-shot jobs of the main window. What each does and its delay stand in one
// table, in haupt.cpp; the delays fix the order in which the views are reloaded and the
// figures recomputed after an event.
enum class JobId {
    ShowLine,          // copy the current line into the entry fields (50 ms)
    LoadLines,         // point the line view at the current day (100 ms)
    TillDifference,    // counted cash against the book (100 ms)
    Recompute,         // day totals, day amount, running balance (200 ms)
    CarriedIn,         // "Kassenbestand vom  Vortag:" (250 ms)
    SaveLine,          // write the entry into its line (100 ms)
    PressNew,          // the next new entry in "Modus Neuanlage" (700 ms)
    AfterDayCreated,   // reselect the day just created (100 ms)
    StartLineOnNewDay, // its first line (200 ms)
    EntryState,        // enable or lock the entry fields for the chosen line (100 ms)
    UnlockEditing,     // the service code opens a saved line for editing (300 ms)
    NewLine,           // add a line and open the booking-text picker (360 ms)
    FocusRemark,       // the remark after a booking text was taken over (100 ms)
};

} // namespace tb
