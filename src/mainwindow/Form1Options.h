#pragma once
// The main window's stored options (section "Options" under the program title): what the
// load handler reads and the unload handler writes, apart from the window. Both go through
// services().options.
//
// Reading never fails: a missing key gives its default, a value that cannot be read as
// what the key holds also gives the default, and an icon number outside the icon set gives
// icon 0. Writing stores Booleans as "True"/"False" and numbers as decimal text.
#include <cstdint>

namespace quavix {

struct Form1Options {
    bool statusAreaVisible = false;
    bool controlsVisible = false;
    bool sliderVisible = false;
    bool playListSequential = true;
    bool randomIconAtStartup = false;
    bool randomIconWhileRunning = false;
    bool changeIconAfterFile = false;
    int imageIndex = 0; // always within 0 .. iconCount-1
    bool alwaysOnTop = true;
    bool minimized = false;
    bool removeFromSystemTray = false;
    std::int32_t volume = 0;
};

// What the unload handler stores: the check marks as they are, and the player's volume.
struct Form1SavedOptions {
    bool statusAreaVisible = false;
    bool controlsVisible = false;
    bool sliderVisible = false;
    bool alwaysOnTop = true;
    bool minimized = false;
    bool removeFromSystemTray = false;
    std::int32_t volume = 0;
};

Form1Options readForm1Options(int iconCount);
// Saves in the order listed above; false when any save failed (every one is tried).
bool saveForm1Options(const Form1SavedOptions& options);

} // namespace quavix
