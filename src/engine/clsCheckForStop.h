#pragma once
// The play engine's permission to go on, asked before every song.
namespace quavix {

class clsCheckForStop {
public:
    // True = stop, False = go on. True at once while gStopPlay is set (the profile is then
    // not read); otherwise go on only when [Play Status] "Continue" in the profile named by
    // gCommandLine is exactly "Yes". A station (gStation), which nobody watches, says on
    // standard error why it stops: its profile is gone, not a file, or does not say
    // Continue=Yes. The strip stops without a word, as the user set it.
    bool fPerformCheckForStop();
};

} // namespace quavix
