#pragma once
// Plays the play engine's current song (gCurrentFileName) in the main window's media
// player to its end.
namespace quavix {

class clsPlaySong {
public:
    // Logs the song when gLogActivity is set, starts it, sets the slider's range to
    // 0..duration (whole seconds, halves to even) and waits, letting events through every
    // 100 ms, until the player is neither playing nor paused. A file that cannot be opened
    // returns at once.
    void fPlaySong();
};

} // namespace quavix
