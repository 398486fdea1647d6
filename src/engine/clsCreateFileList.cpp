#include "clsCreateFileList.h"

#include "RenameDialog.h"
#include "SongFileName.h"
#include "platform/FileReplace.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/clsIniItemCounter.h"

#include <algorithm>
#include <filesystem>

namespace quavix {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hasSongExtension(const std::string& name)
{
    if (name.size() < 5)
        return false;
    const char* tail = name.c_str() + name.size() - 4;
    return tail[0] == '.' && lower(tail[1]) == 'm' && lower(tail[2]) == 'p' && tail[3] == '3';
}

// Folder texts are joined with file names as they are; one that lacks its closing "/"
// would otherwise name files that do not exist.
std::string folderText(const std::string& folder)
{
    if (!folder.empty() && folder.back() != '/')
        return folder + "/";
    return folder;
}

} // namespace

std::vector<std::string> clsCreateFileList::fListSongFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    // (name with case folded, name): sorting the pairs orders by name ignoring case, and
    // names that differ only in case still come in a fixed order.
    std::vector<std::pair<std::string, std::string>> found;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!hasSongExtension(name) || !it->is_regular_file(ec))
            continue;
        std::string folded = name;
        for (char& c : folded)
            c = lower(c);
        found.emplace_back(std::move(folded), std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

std::string clsCreateFileList::fFolderProblem(const std::string& folder)
{
    namespace fs = std::filesystem;
    // Without its closing "/": "song.mp3/" would pass for a folder that does not exist.
    fs::path path = folder.empty() ? fs::path(".") : fs::path(folder);
    if (folder.size() > 1 && folder.back() == '/')
        path = fs::path(folder.substr(0, folder.size() - 1));
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec && st.type() != fs::file_type::not_found)
        return "cannot be read: " + ec.message();
    if (st.type() == fs::file_type::not_found)
        return "does not exist";
    if (!fs::is_directory(st))
        return "is not a folder";
    fs::directory_iterator it(path, ec);
    if (ec)
        return "cannot be read: " + ec.message();
    return {};
}

std::string clsCreateFileList::fProblemText(const FolderProblem& p)
{
    return "the song folder \"" + p.folder + "\" (" + p.key + ") " + p.problem;
}

void clsCreateFileList::fCreateFileList()
{
    Globals& g = globals();
    do {
        mRebuildList = false;
        mFolderProblems.clear();
        mSkippedNames = 0;
        g.gSongCount = 0;
        // The list is made whole in memory and then replaces the file: a kill while the
        // folders are read (or while a rename waits for an answer) leaves the old list.
        std::string list;
        std::vector<std::string> songs;
        clsIniItemCounter counter;
        for (const std::string& location : g.gMP3Locations) {
            const std::string folder = folderText(location);
            const std::vector<std::string> names = fListSongFiles(folder);
            const std::string key = "MP3Location" + counter.fGetNextNumber();
            if (names.empty()) {
                std::string problem = fFolderProblem(location);
                mFolderProblems.push_back(
                    {key, location, problem.empty() ? "holds no song file (*.mp3)" : problem});
            }
            for (const std::string& name : names) {
                if (!fParseSongFileName(folder, name))
                    continue;
                songs.push_back(folder + name);
                list += songs.back();
                list += CrLf;
                ++g.gSongCount;
            }
        }
        std::string error;
        if (g.gPlayListFile.empty())
            error = "no file name";
        if (!error.empty() || !replaceFile(g.gPlayListFile, list, error)) {
            g.gSongCount = 0;
            services().dialogs->messageBox("Song List",
                                           "The song list \"" + g.gPlayListFile +
                                               "\" cannot be written: " + error + ".",
                                           MsgIcon::Exclamation, MsgButtons::Ok);
            // Played on, the station would end at once as if its list had run out: a
            // service that cannot work must say so in its exit status.
            if (g.gStation)
                services().process->endProgram(1);
            return;
        }
        unloadResetSongFileName();
        // The player may get ready for them (measure their loudness) while songs play.
        if (!mRebuildList)
            services().media->expect(songs);
    } while (mRebuildList);
}

bool clsCreateFileList::fParseSongFileName(const std::string& folder, const std::string& fileName)
{
    Globals& g = globals();
    g.gCurrentFileName = fileName;
    if (takeSongNameApart(fileName))
        return true;
    if (g.gStation) {
        const bool play = g.gBadNames == "Play";
        errorLine(badSongNameLine(folder + fileName, parseSongName(fileName).problem, play));
        if (!play)
            ++mSkippedNames;
        return play;
    }
    mRebuildList = true;
    g.gStopPlay = true;
    RenameDialogPort& dialog = loadResetSongFileName();
    g.gCurrentFileName = fileName;
    dialog.setCurrentName(fileName);
    dialog.setSongPath(folder + fileName);
    dialog.showModeless();
    Process& process = *services().process;
    while (g.gStopPlay) {
        // Nobody is left to answer the window once the main window has closed.
        if (g.gExitProgram) {
            process.endProgram();
            return true;
        }
        process.waitForEvents(100);
    }
    return true;
}

} // namespace quavix
