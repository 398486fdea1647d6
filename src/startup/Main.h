#pragma once
// The program's entry routine, called once by the executable after it filled services().
#include <functional>

namespace quavix {

struct MainHooks {
    // The play engine (clsMainPerformLoop().fPerformPlaySongs()); it sits above start-up.
    std::function<void()> runEngine;
};

// Reads the profile (first-run set-up included), takes the command line and either hands it
// to the running instance and ends the program, or makes it the play list; then reads the
// placement options, loads Form1, shows it unless it lives in the tray, lets events run
// once and runs the engine when the profile asks for it. Returns when the engine returns
// (or at once without it); the caller then runs the event loop.
void Main(const MainHooks& hooks = {});

} // namespace quavix
