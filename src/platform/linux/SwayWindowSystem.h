#pragma once
// The window system on sway (and compositors that speak its IPC): the focused window and
// its outer rectangle from the compositor's tree ($SWAYSOCK, GET_TREE, asked on every
// foregroundWindow()); native Wayland and Xwayland windows alike. The strip runs through
// Xwayland as a window the manager leaves alone and moves itself (sway would centre a
// managed one and let focused floating windows cover it).
//
// Handles are sway's container ids. The outer rectangle includes the title bar (the tree's
// deco_rect above rect). A tree that cannot be read (socket gone, no answer within 200 ms)
// gives no window in front; the next question connects again.
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

    // The raw GET_TREE answer, empty when the compositor did not give one.
    QByteArray tree();

private:
    std::string m_path;
    int m_fd = -1;
    std::optional<SwayWindow> m_last; // of the last foregroundWindow()
};

} // namespace quavix
