#pragma once
// The play engine's permission to go on, asked before every song.
namespace quavix {

class clsCheckForStop {
public:
    // True = stop, False = go on. True at once while gStopPlay is set (the profile is then
    // not read); otherwise go on only when [Play Status] "Continue" in the profile named by
    // gCommandLine is exactly "Yes".
    bool fPerformCheckForStop();
};

} // namespace quavix
