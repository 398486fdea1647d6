#pragma once
// Which way the strip learns of the window in front and gets there, chosen once at start-up,
// before the toolkit picks its platform (the choice decides it for sway and the fallback).
//
// - X11: no Wayland session; an EWMH window manager answers both halves.
// - Sway: sway's IPC socket ($SWAYSOCK) tells the focused window and its rectangle; the
//   strip runs through Xwayland (xcb) as a window the manager leaves alone, placing itself.
// - KWin: a script loaded into KWin reports the active window's frame to us over D-Bus and
//   puts the strip where we answer; the strip stays a native window.
// - Gnome: the Quavix GNOME Shell extension does the same, when the user has it enabled.
// - None: a Wayland desktop that tells nobody which window is in front. The strip does not
//   follow; it runs through Xwayland when there is one (so it places itself at the top edge
//   and follows X11 windows).
// QUAVIX_WINDOW_SYSTEM ("x11", "sway", "kwin", "gnome", "none") overrides the choice.
#include <functional>
#include <string>

namespace quavix {

enum class WindowMechanism { X11, Sway, KWin, Gnome, None };

struct SessionProbe {
    std::function<std::string(const char* name)> env; // "" when unset
    std::function<bool(const std::string& socketPath)> swayAnswers;
    // The compositor's socket: WAYLAND_DISPLAY as a path, or under XDG_RUNTIME_DIR.
    std::function<bool(const std::string& socketPath)> waylandAnswers;
    std::function<bool(const char* busName)> onSessionBus;
    std::function<bool()> gnomeExtensionEnabled;
};

struct MechanismChoice {
    WindowMechanism mechanism = WindowMechanism::X11;
    // For None on a Wayland desktop: what was found and why the strip cannot follow there
    // (a sentence without its full stop), and what would make it follow, for the user.
    std::string found;
    std::string advice;
    // Something of the session that was not as it said, worth a line on standard error
    // whatever was chosen (a stale WAYLAND_DISPLAY, a forced mechanism that cannot run).
    std::string note;
    // A QUAVIX_WINDOW_SYSTEM value that names no mechanism (then chosen as without it).
    std::string badOverride;
};

MechanismChoice chooseWindowMechanism(const SessionProbe& probe);

// The probe of the running session: the environment, sway's socket, the session bus.
SessionProbe liveSessionProbe();

const char* mechanismName(WindowMechanism mechanism);

// The UUID of the GNOME Shell extension the package installs.
inline constexpr const char* GnomeExtensionUuid = "follow@quavix.org";

} // namespace quavix
