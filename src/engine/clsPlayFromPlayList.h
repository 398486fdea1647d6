#pragma once
// Starts the main window's play-list player: arms timerPlay so that one activation runs once
// the caller's event has finished (never nested inside the caller).
namespace quavix {

class clsPlayFromPlayList {
public:
    void fPlayPlayList();
};

} // namespace quavix
