#pragma once
// Start-up work that need not hold up the strip's first paint: the media framework's
// set-up, the tray icon, the larger icon sizes. Queued while the program starts; the main
// window runs the queue right after its first paint (or at the end of its load when it stays
// hidden in the tray), in the order queued, on the UI thread.
#include <functional>

namespace quavix {

// Queues work until firstPaintDone(); once that has run, runs work at once.
void afterFirstPaint(std::function<void()> work);
// Runs the queued work in order (work queued meanwhile runs too); later calls do nothing.
void firstPaintDone();
// Whether firstPaintDone() has run.
bool firstPaintSeen();
// Back to a program that has not painted yet, nothing queued (for tests).
void resetFirstPaint();

} // namespace quavix
