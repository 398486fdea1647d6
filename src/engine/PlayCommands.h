#pragma once
// The main window's ways of replacing what plays: Play File and files dropped on the icon.
// Both rewrite the default play list file and start the play-list player; neither touches
// the play list or the playback when it cannot go ahead.
#include <string>
#include <vector>

namespace quavix {

// The Open dialog's filter, first entry preselected.
extern const char* const PlayFileFilter;

// Replaces the play list file with `entries`, one per CR LF line, in one atomic step: on any
// failure (no file name, an entry holding a line break, a write error) the previous file is
// kept and false is returned. A symbolic link stays a link (its target is replaced), and
// the file keeps its permissions.
bool writePlayList(const std::string& path, const std::vector<std::string>& entries);

// mnuPlayFile_Click: asks for a file; when one is chosen and the play list could be written,
// that file becomes the whole list and plays. Timer1 runs again afterwards in every case.
void playFileCommand();

// Image1_OLEDragDrop: the dropped files become the play list in drop order and the first one
// plays first, in sequential order; the stored "RandomSelectIconWhileRunning" becomes "0".
// Empty names are left out; a name holding a line break refuses the whole drop with a box
// naming it. False, with nothing changed, when refused, when no name is left or the play
// list cannot be written.
bool playDroppedFiles(const std::vector<std::string>& files);

} // namespace quavix
