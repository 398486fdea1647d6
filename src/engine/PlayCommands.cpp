#include "PlayCommands.h"

#include "engine/PlayListPlayer.h"
#include "platform/TextFiles.h"
#include "startup/Globals.h"
#include "startup/HandOff.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

const char* const PlayFileFilter =
    "All Files (*.*)|*.*|MP3 Files (*.mp3)|*.mp3|Windows Sound Files (*.wav)|*.wav|"
    "NetShow Files (*.asf;*.asx)|*.asf;*.asx|"
    "RealNetwork Files (*.ra;*.ram;*.rm;*.rmm)|*.ra;*.ram;*.rm;*.rmm|"
    "MIDI (*.mid;*.rmi)|*.mid;*.rmi|Misc. Sound Files (*.au;*.snd)|*.au;*.snd";

namespace {
mode_t currentUmask()
{
    // Reading the mask means setting it; set it straight back (one thread at start-up and
    // in handlers, so nothing else creates files in between).
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
} // namespace

bool writePlayList(const std::string& path, const std::vector<std::string>& entries)
{
    if (path.empty())
        return false;
    for (const auto& e : entries) {
        if (holdsLineBreak(e))
            return false;
    }
    // The rename replaces what it lands on: land on the link's target, so that a play list
    // kept behind a symbolic link stays one, and give the new file the old one's mode.
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec)
            return false;
        target = resolved;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    std::string temp = target.string() + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    std::string data;
    for (const auto& e : entries)
        data += e + "\r\n";
    bool ok = text::writeAll(fd, data);
    ok = ::fchmod(fd, existed ? (old.st_mode & 07777) : (0666 & ~currentUmask())) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

void playFileCommand()
{
    auto& s = services();
    auto& g = globals();
    std::optional<std::string> chosen;
    if (s.dialogs) {
        FileDialogRequest request;
        request.title = "Open";
        request.filter = PlayFileFilter;
        request.filterIndex = 1;
        request.mustExist = true;
        chosen = s.dialogs->openFile(request);
    }
    if (chosen && !chosen->empty() && writePlayList(g.gPlayListFile, {*chosen})) {
        if (auto* w = mainWindow()) {
            w->mmControl().applyPlayListStart();
            w->mmControlChanged();
        }
        g.gCurrentFileName.clear();
        PlayListPlayer::forgetPosition();
        PlayListPlayer::cancelStart();
        if (s.media)
            s.media->stop();
        PlayListPlayer::start();
    }
    if (auto* w = mainWindow())
        w->setTimer1Enabled(true);
}

bool playDroppedFiles(const std::vector<std::string>& files)
{
    auto& s = services();
    auto& g = globals();
    std::vector<std::string> entries;
    for (const auto& f : files) {
        if (holdsLineBreak(f)) {
            // Not one play list line: say so, and leave the list and the playback alone.
            if (s.dialogs)
                reportLineBreakName(f, *s.dialogs);
            return false;
        }
        if (!f.empty())
            entries.push_back(f);
    }
    if (entries.empty() || !writePlayList(g.gPlayListFile, entries))
        return false;
    g.gCurrentFileName = entries.front();
    PlayListPlayer::forgetPosition();
    if (s.media)
        s.media->stop();
    if (s.process)
        s.process->processEvents();
    PlayListPlayer::start();
    g.gPlayListSequential = true;
    if (s.options)
        s.options->save(ProgramTitle, "Options", "RandomSelectIconWhileRunning", "0");
    g.gPlayingPlayList = true;
    g.gPlayFirstEntry = true;
    return true;
}

} // namespace quavix
