#pragma once
// The station as a service (quavix --station PROFILE): the play engine of the strip, song
// for song, with nobody at a screen. The program gives it dialogs that write each box as a
// line on standard error (platform/posix/LineDialogs.h) and a profile reader whose default
// file is PROFILE, so that every value comes from there; no window is ever loaded.
//
// What differs from the strip, because nobody can answer:
// - no first run: a profile the station cannot use (missing, a folder, a FIFO, unreadable,
//   no FileList or song folder) ends it with StationConfigError, and so does a first song
//   list with nothing to play (its line names each folder and what is wrong with it);
// - every box is a line on standard error (through the non-blocking LineWriter, so that a
//   reader who does not read never stops the station);
// - a song name that breaks the convention is skipped or played as it is (gBadNames),
//   never offered for renaming (clsCreateFileList, clsGetNextSong);
// - "End Of Play List" ends it with status 0 once its line is written, as the strip ends
//   when the box is answered;
// - a stop (MPRIS Stop, a stop during the engine's event step) idles the engine until
//   playback is started again, instead of leaving the program without its engine.
#include <string>

namespace quavix {

// sysexits' EX_CONFIG: systemd shows it as "status=78/CONFIG", and the unit does not
// restart on it (nothing changes until the profile does).
inline constexpr int StationConfigError = 78;

// Reads the settings (gCommandLine := profilePath, the file of the per-song check too) and
// runs the engine until the program ends; never returns in the program, where
// services().process->endProgram does not return.
void runStation(const std::string& profilePath);

// Why `path` cannot serve as a station profile, in words that follow its name ("does not
// exist", "is a folder", "is not a regular file", "cannot be read: ..."); "" when it can be
// read. Never waits: a FIFO is refused, not opened.
std::string stationProfileProblem(const std::string& path);

// SIGTERM, SIGINT and MPRIS Quit: the song that plays stops (its log row was written when
// it began) and the engine ends the program with status 0 at its next check, within the
// 100 ms of its waits.
void stopStation();

// MPRIS Play on a stopped station: the engine goes on with the next song at its next
// check, when the profile says Continue=Yes. (Pause, resume and Next act on the player.)
void resumeStation();

} // namespace quavix
