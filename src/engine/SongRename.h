#pragma once
// What the rename window does, apart from the window: build a name that follows the song
// file name convention, rename the file without ever replacing another one, and release
// the play engine.
#include <string>

namespace quavix {

struct SongRenameFields {
    std::string artist, cdName, year, songTitle;
};

// artist - cdName - year - songTitle - M_S.mp3, with the fields taken as typed and
// M, S the whole minutes and seconds of the duration rounded to the nearest second.
std::string buildSongFileName(const SongRenameFields& fields, double durationSeconds);

// Renames sourcePath to newName in the same folder. Refuses a name holding "/", a missing
// source and an existing target (never overwritten). Returns the empty text on success,
// otherwise a message for the user.
std::string renameSongFile(const std::string& sourcePath, const std::string& newName);

// The OK button: measures the song in the media player, builds the new name, renames the
// file and, once renamed, clears gStopPlay. On failure it shows a message box, changes
// nothing and returns false (the window stays open).
bool confirmSongRename(const std::string& sourcePath, const SongRenameFields& fields);

// The Cancel button: asks whether to cancel and leave the program; Yes ends the program,
// No returns with nothing changed.
void confirmCancelRename();

} // namespace quavix
