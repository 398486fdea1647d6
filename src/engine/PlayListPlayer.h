#pragma once
// The main window's play-list player and transport commands, without the window: every
// widget is reached through mainWindow() (MainWindowPort), the media player and the event
// pump through services(), the position in the list through globals().gCurrentFileName.
//
// Contract of one activation (run()), the body of timerPlay_Timer:
// - An empty or missing play list file plays nothing and shows nothing.
// - The entry played first: gCurrentFileName itself when gPlayFirstEntry is set (the flag is
//   cleared), the first entry when gCurrentFileName is empty, otherwise the entry after it.
// - Moving on: in sequential order the entry below the current one; the list ends after the
//   last entry or when the current entry is no longer in the file. In random order any entry
//   of the file with equal chance except the one that just played; a file of one entry has
//   nothing else to play, so the list ends.
// - Existing files and stream addresses are played (tool tip, file name, slider 0..duration);
//   anything else is passed over. While the play engine runs with its activity log on, each
//   item that opens gets its row there, as the engine's own songs do. The wait for an item lets
//   events run every 250 ms and ends when the item is neither playing nor paused, or gStopPlay is
//   set.
// - After each item: the after-file icon change (when both icon options are on), then on to
//   the next entry while gPlayingPlayList or gPlayFirstEntry is set.
// - A start armed while an activation runs gets a nested activation, which takes the player
//   over; when it returns, the outer one carries on from gCurrentFileName. An outer activation
//   whose item was stopped to make room for an armed start lets that start run first.
#include "engine/PlayListReader.h"

#include <functional>
#include <optional>
#include <string>

namespace quavix {

class Random;

// One entry of the play list with its place in the file.
struct PlayListEntry {
    std::string name;
    long index = -1;
};

// The entry to play after `current` (at `currentIndex` when known, else -1), or nothing at
// the end of the list. `random` is only drawn from in random order.
std::optional<PlayListEntry> chooseNextEntry(const std::string& playListFile,
                                             const std::string& current, long currentIndex,
                                             bool sequential, Random& random);

class PlayListPlayer {
public:
    // timerPlay_Timer: one activation of the play-list player.
    static void run();
    // One-shot start: arms timerPlay for one deferred activation.
    static void start();
    // Drops an armed start that has not run yet.
    static void cancelStart();

    // MMControl1_PrevClick: in sequential order plays the entry above the current one; in
    // random order the player moves on from the entry two above (a random pick), or from
    // the start of the list when the current entry is the second. Nothing happens on the
    // first entry, when the current entry is not in the file, or names nothing playable.
    static void previous();
    // MMControl1_NextClick: the item ends at once; whatever waits for it moves on.
    static void next();
    // MMControl1_BackClick / _StepClick: 10 s back or ahead, when the item has room for it.
    static void back();
    static void step();
    static void pause();
    // MMControl1_StopClick: stops the item and the list.
    static void stop();
    // MediaPlayer1_PlayStateChange: keeps gStopPlay (false while playing or after an item ran
    // to its end, true after an item stopped early or was replaced by another open).
    static void playStateChanged(int oldState, int newState, bool currentItem);

    // Set by the icon code: the program icon change run after each file when both
    // gRandomIconWhileRunning and gChangeIconAfterFile are on.
    static void setIconChangeAfterFile(std::function<void()> change);

    // Where the current entry stands in the file (kept across activations, so that an entry
    // listed twice is not mistaken for its first occurrence). Reset by whoever rewrites the
    // play list file.
    static void forgetPosition();
};

// Whole seconds for the slider, nearest with halves to even; out-of-range values clamped.
int toSliderSeconds(double seconds);

} // namespace quavix
