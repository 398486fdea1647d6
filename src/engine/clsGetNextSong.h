#pragma once
// Makes the next song of the song list (gPlayListFile) current: in list order when
// gStartUpAction is "Preview", otherwise at random (never the same line twice in a row
// while the list holds two or more lines).
namespace quavix {

class clsGetNextSong {
public:
    // Sets gSongIndex, gCurrentFileName (the chosen line) and the song's fields (from the
    // file-name part of the line). A list that is used up or empty ends the program after
    // the "End Of Play List" message. A name that cannot be taken apart stops the engine
    // (gStopPlay) and shows the rename window; a station (gStation) plays it with empty
    // fields and length 0 when gBadNames is "Play", and otherwise says so on standard error
    // and chooses again (a list that yields nothing else ends the program with status 1).
    void fPerformGetNextSong();

    // Pure: the next line number at random from 1..songCount, never `current` when
    // songCount >= 2; `draw` is uniform in [0, 1). songCount must be >= 1.
    static int fRandomLine(int songCount, int current, double draw);

private:
    // One choice; false when the chosen line's name cannot be taken apart.
    bool fChooseSong();
};

} // namespace quavix
