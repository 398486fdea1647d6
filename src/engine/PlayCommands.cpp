#include "PlayCommands.h"

#include "engine/PlayListPlayer.h"
#include "platform/FileReplace.h"
#include "startup/CommonDialog.h"
#include "startup/Globals.h"
#include "startup/HandOff.h"
#include "startup/Services.h"
#include "startup/Windows.h"

namespace quavix {

const char* const PlayFileFilter =
    "All Files (*.*)|*.*|MP3 Files (*.mp3)|*.mp3|Windows Sound Files (*.wav)|*.wav|"
    "NetShow Files (*.asf;*.asx)|*.asf;*.asx|"
    "RealNetwork Files (*.ra;*.ram;*.rm;*.rmm)|*.ra;*.ram;*.rm;*.rmm|"
    "MIDI (*.mid;*.rmi)|*.mid;*.rmi|Misc. Sound Files (*.au;*.snd)|*.au;*.snd";

bool writePlayList(const std::string& path, const std::vector<std::string>& entries)
{
    if (path.empty())
        return false;
    for (const auto& e : entries) {
        if (holdsLineBreak(e))
            return false;
    }
    std::string data;
    for (const auto& e : entries)
        data += e + "\r\n";
    // A list behind a symbolic link stays one, and keeps its permissions.
    std::string error;
    return replaceFile(path, data, error);
}

void playFileCommand()
{
    auto& s = services();
    auto& g = globals();
    FileDialogRequest request;
    request.title = "Open";
    request.filter = PlayFileFilter;
    request.filterIndex = 1;
    request.mustExist = true;
    const std::optional<std::string> chosen = commonDialog::show(commonDialog::Kind::Open, request);
    if (chosen && writePlayList(g.gPlayListFile, {*chosen})) {
        if (auto* w = mainWindow()) {
            w->mmControl().applyPlayListStart();
            w->mmControlChanged();
        }
        g.gCurrentFileName.clear();
        PlayListPlayer::forgetPosition();
        PlayListPlayer::cancelStart();
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
    s.media->stop();
    s.process->processEvents();
    PlayListPlayer::start();
    g.gPlayListSequential = true;
    s.options->save(ProgramTitle, "Options", "RandomSelectIconWhileRunning", "0");
    g.gPlayingPlayList = true;
    g.gPlayFirstEntry = true;
    return true;
}

} // namespace quavix
