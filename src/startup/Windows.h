#pragma once
// The single window instances, as far as lower layers need them.
//
// A window layer above implements a port and registers a loader for it; lower layers
// (start-up, engine) reach the window only through the port, created on first use and
// kept until unloaded. Tests register fakes the same way.
#include "MediaControl.h"

#include <functional>
#include <string>

namespace quavix {

// What the rest of the program needs of the main window Form1.
class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    // Slider1, whole seconds.
    virtual void setSliderMin(int seconds) = 0;
    virtual void setSliderMax(int seconds) = 0;
    virtual int sliderMax() const = 0;
    virtual void setSliderEnabled(bool on) = 0;
    // MMControl1's switches; call mmControlChanged() after changing them so the bar shows it.
    virtual MMControlState& mmControl() = 0;
    virtual void mmControlChanged() = 0;
    // One-shot start of the play-list player (timerPlay armed for one deferred run).
    virtual void startPlayListPlayer() = 0;
    // Disables timerPlay: a start armed but not yet run is dropped. A port without a
    // deferred trigger has nothing to drop.
    virtual void cancelPlayListPlayer() {}
    // True while a start is armed and has not run yet. A running player that sees its item
    // end lets that start run first, so that the newer start decides what plays next.
    virtual bool playListPlayerPending() const { return false; }
    // Disables Timer1, timerPlay and timerChangeIcon.
    virtual void disableTimers() = 0;
    virtual void setTimer1Enabled(bool on) = 0;
    // The check mark of "Minimize to System Tray", read by Main after the load.
    virtual bool minimizeChecked() const = 0;
    virtual void setVisible(bool visible) = 0;
    // Shows the window restored, raised and active (a second start handed a file over).
    virtual void bringToFront() = 0;
    virtual void setImageToolTip(const std::string& text) = 0;
    // Says in the media player's status display why something did not play (or ended),
    // until the player moves on. A window without the display has nowhere to say it.
    virtual void showStatusMessage(const std::string& /*text*/) {}
};

// Form1: loaded on first use (its load handler runs), nullptr until a loader is registered.
MainWindowPort* mainWindow();
// The loaded Form1, or nullptr when it is not loaded; never loads it.
MainWindowPort* mainWindowIfLoaded();
void setMainWindowLoader(std::function<MainWindowPort*()> loader);
// Called by Form1 when it is unloaded, so that the next use loads a fresh one.
void mainWindowUnloaded();

} // namespace quavix
