#pragma once
// Keeps a top-level window out of the task bar and the pager on X11. Call after winId() and
// before the window is shown (again); does nothing on other platforms or without a display.
class QWidget;

namespace quavix {

void keepOffTaskbar(QWidget* window);

} // namespace quavix
