#pragma once

class QWidget;

namespace rollcall {
// Puts a top-level window in the middle of the primary screen, `drop` pixels
// below centre (negative: above), so the launcher and its dialogs open in one place.
void placeOnScreen(QWidget *window, int drop = 0);
} // namespace rollcall
