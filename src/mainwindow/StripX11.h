#pragma once
// Keeps a top-level window out of the task bar and the pager on X11. Both do nothing on
// other platforms or without a display.
class QWidget;

namespace quavix {

// Asks the X server for the names keepOffTaskbar needs, without waiting for the answers;
// call early (at start-up), so that they are in by the first show.
void prepareKeepOffTaskbar();

// Call after winId() and before the window is shown (again): adds "skip task bar" and
// "skip pager" to the window's _NET_WM_STATE, keeping what is there (Qt adds "above").
void keepOffTaskbar(QWidget* window);

} // namespace quavix
