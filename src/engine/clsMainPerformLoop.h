#pragma once
// The unattended play engine: song after song from the song folders while the profile
// allows it, a fresh song list and log every calendar day.
namespace quavix {

class clsMainPerformLoop {
public:
    // Runs the engine. Does not return while it runs: it returns only when a stop arrives
    // while it hands events through before a song (the engine then stays off for this run),
    // and ends the program when it finds itself stopped while the main window is closing.
    // A stop asked for by the profile, the user or a bad song name idles it, polling every
    // 100 ms until something clears gStopPlay.
    void fPerformPlaySongs();
};

} // namespace quavix
