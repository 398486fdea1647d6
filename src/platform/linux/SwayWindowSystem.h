#pragma once
// The window system on sway (and compositors that speak its IPC): the focused window and
// its outer rectangle from the compositor's tree ($SWAYSOCK, GET_TREE, asked on every
// foregroundWindow()); native Wayland and Xwayland windows alike. The strip runs through
// Xwayland as a window the manager leaves alone and moves itself (sway would centre a
// managed one and let focused floating windows cover it).
//
// Handles are sway's container ids. The outer rectangle includes the title bar (the tree's
// deco_rect above rect). A tree that cannot be read (socket gone, no whole answer within
// 150 ms, an answer over 8 MB) gives no window in front; the next question connects again.
// A compositor that missed the deadline or the cap is left unasked for the next 1, 2, 4 ...
// up to 64 questions, so a slow one costs the strip a moment now and then, not every tick.
#include "platform/linux/QtWindowSystem.h"

#include <QByteArray>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quavix {

struct SwayWindow {
    WindowHandle id = 0;
    PixelRect outer;
    bool visible = true;
};

// The focused window of a GET_TREE answer, unless it is one of ownPid's.
std::optional<SwayWindow> focusedSwayWindow(const QByteArray& tree, pid_t ownPid);

class SwayWindowSystem : public QtWindowSystem {
public:
    explicit SwayWindowSystem(std::string socketPath);
    ~SwayWindowSystem() override;

    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    bool bypassWindowManager() const override { return true; }

    // The raw GET_TREE answer, empty when the compositor did not give one (or is resting).
    QByteArray tree();

private:
    QByteArray ask();
    std::string m_path;
    int m_fd = -1;
    bool m_missed = false;            // the last question ran out of time or room
    int m_pause = 0;                  // questions skipped after the last miss
    int m_rest = 0;                   // questions still to skip
    std::optional<SwayWindow> m_last; // of the last foregroundWindow()
};

} // namespace quavix
