#pragma once
// The single instance of the song file rename window frmResetSongFileName, as the play
// engine needs it. The engine loads it, fills it and shows it modeless when it meets a song
// file name it cannot take apart; the window releases the engine (gStopPlay = false) once
// the file has its new name, and the song list builder unloads it after its pass.
#include <functional>
#include <memory>
#include <string>

namespace quavix {

class RenameDialogPort {
public:
    virtual ~RenameDialogPort() = default;
    // txtCurrentName: the offending name as the engine holds it.
    virtual void setCurrentName(const std::string& name) = 0;
    // The file that OK renames (its path on disk); the new name stays in its folder.
    virtual void setSongPath(const std::string& path) = 0;
    // Shows the window and returns at once.
    virtual void showModeless() = 0;
    virtual void hideDialog() = 0;
};

// Loads the window on first use (fields empty) and returns it.
RenameDialogPort& loadResetSongFileName();
// The loaded window, or nullptr; never loads it.
RenameDialogPort* resetSongFileNameIfLoaded();
// Destroys the loaded window, if any.
void unloadResetSongFileName();
// What loadResetSongFileName creates: the program registers the window (see
// rename/frmResetSongFileName.h), tests a double. Unloads a loaded window first. Loading
// with no loader registered is a programming error and ends the program.
void setResetSongFileNameLoader(std::function<std::unique_ptr<RenameDialogPort>()> loader);

} // namespace quavix
