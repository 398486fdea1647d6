#pragma once
// Builds the play engine's song list: the default play list file gPlayListFile, rewritten
// with one line (folder + file name, CR LF) per song file of the song folders gMP3Locations,
// folder by folder, each folder's files in name order. A file whose name does not follow
// the song file name convention is offered for renaming while the pass waits; any rename
// makes the builder write the list again (another pass). A station (gStation) asks nobody:
// it says on standard error what is wrong with the name and lists the file only when
// gBadNames is "Play", leaving the file as it is.
#include <string>
#include <vector>

namespace quavix {

class clsCreateFileList {
public:
    // Rebuilds the list and sets gSongCount to the number of lines written.
    void fCreateFileList();

    // The song files of one folder: regular files whose extension is ".mp3" in any case,
    // sorted by name with case ignored. A missing or unreadable folder has none.
    static std::vector<std::string> fListSongFiles(const std::string& folder);

private:
    // False when the file is to be left out of the list (a station skipping a bad name).
    bool fParseSongFileName(const std::string& folder, const std::string& fileName);
    bool mRebuildList = false;
};

} // namespace quavix
