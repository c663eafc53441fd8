#pragma once

class QAbstractButton;

namespace tb {

// Enter (or Return) on the focused button presses it, in dialogs and main windows alike; the
// program's hints say "mit Enter", and the keyboard is how the cash book is kept.
void enterPresses(QAbstractButton* button);

} // namespace tb
