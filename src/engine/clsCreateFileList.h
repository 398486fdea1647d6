#pragma once
// Builds the play engine's song list: the default play list file gPlayListFile, rewritten
// with one line (folder + file name, CR LF) per song file of the song folders gMP3Locations,
// folder by folder, each folder's files in name order. A file whose name does not follow
// the song file name convention is offered for renaming while the pass waits; any rename
// makes the builder write the list again (another pass). A station (gStation) asks nobody:
// it says on standard error what is wrong with the name and lists the file only when
// gBadNames is "Play", leaving the file as it is.
//
// A folder that gives no song says why (fFolderProblems), so that a list that comes out
// empty can be explained: a folder that does not exist, is a file, cannot be read or holds
// no song file.
#include <string>
#include <vector>

namespace quavix {

class clsCreateFileList {
public:
    // What keeps one song folder of the last list from giving songs.
    struct FolderProblem {
        std::string key;     // its profile key, "MP3Location001"
        std::string folder;  // as the profile gives it
        std::string problem; // "does not exist", "is not a folder", "cannot be read: ...",
                             // "holds no song file (*.mp3)"
    };

    // Rebuilds the list and sets gSongCount to the number of lines written.
    void fCreateFileList();

    // The song files of one folder: regular files whose extension is ".mp3" in any case,
    // sorted by name with case ignored. A missing or unreadable folder has none.
    static std::vector<std::string> fListSongFiles(const std::string& folder);
    // Why a folder cannot be searched for songs ("" when it can; an empty one can).
    static std::string fFolderProblem(const std::string& folder);

    // Of the last list: the folders that gave no song, in profile order, and how many song
    // files a station left out for their names.
    const std::vector<FolderProblem>& fFolderProblems() const { return mFolderProblems; }
    int fSkippedNames() const { return mSkippedNames; }
    // One line for the user: "the song folder "F" (MP3Location001) does not exist".
    static std::string fProblemText(const FolderProblem& p);

private:
    // False when the file is to be left out of the list (a station skipping a bad name).
    bool fParseSongFileName(const std::string& folder, const std::string& fileName);
    bool mRebuildList = false;
    std::vector<FolderProblem> mFolderProblems;
    int mSkippedNames = 0;
};

} // namespace quavix
