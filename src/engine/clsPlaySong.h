#pragma once
// Plays the play engine's current song (gCurrentFileName) in the main window's media
// player to its end.
namespace quavix {

class clsPlaySong {
public:
    // Starts the song and logs it when gLogActivity is set, sets the slider's range to
    // 0..duration (whole seconds, halves to even) and waits, letting events through every
    // 100 ms, until the player is neither playing nor paused. A file that cannot be opened
    // is not logged and returns false at once (the player's errorDescription() says why);
    // what to say about it, and how soon to try another, is the engine's to decide.
    bool fPlaySong();
};

} // namespace quavix
