#include "PlayListPlayer.h"

#include "clsActivityLog.h"
#include "clsMainPerformLoop.h"
#include "platform/MediaAddress.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>

namespace quavix {

namespace {

// The entry that played last, with its index in the file; meaningful while its name is
// gCurrentFileName.
PlayListEntry& position()
{
    static PlayListEntry p;
    return p;
}

std::function<void()>& iconChange()
{
    static std::function<void()> f;
    return f;
}

long currentIndexHint()
{
    const auto& p = position();
    return p.name == globals().gCurrentFileName ? p.index : -1;
}

bool isPlayable(const std::string& name)
{
    if (name.empty())
        return false;
    if (isStreamAddress(name))
        return true;
    std::error_code ec;
    auto st = std::filesystem::status(name, ec);
    return !ec && std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

bool isGoingOn(int state)
{
    return state == MediaPlayer::Playing || state == MediaPlayer::Paused;
}

// Why an entry did not play, in the player's words where it had any.
std::string whyNotPlayed(const std::string& name)
{
    auto* media = services().media;
    if (media->fileName() == name && media->errorCode() != 0)
        return media->errorDescription();
    std::error_code ec;
    const char* why = std::filesystem::is_directory(name, ec) ? "it is a folder, not a file."
                      : name.empty()                          ? "the entry is empty."
                                                              : "the file does not exist.";
    return "Cannot play \"" + name + "\": " + why;
}

// A single thing the user opened (the command line, Play File, one dropped file) that
// does not play is told in a box; an entry of a longer list is named in the status display
// while the player goes on, so that a list never stops on it. While the play engine runs,
// the command line names its profile, not a song, and nobody may be there for a box.
void tellNotPlayed(const std::string& name, long entries)
{
    const std::string why = whyNotPlayed(name);
    if (entries == 1 && !globals().gAutoLoadMP3Locations)
        services().dialogs->messageBox(ProgramTitle, why, MsgIcon::Exclamation, MsgButtons::Ok);
    else if (auto* w = mainWindowIfLoaded())
        w->showStatusMessage(why);
}

// Gives the media player the current entry; true when it plays.
bool playCurrent()
{
    auto& g = globals();
    auto* media = services().media;
    if (!isPlayable(g.gCurrentFileName))
        return false;
    const std::string name = g.gCurrentFileName;
    if (auto* w = mainWindowIfLoaded())
        w->setImageToolTip(name);
    media->setFileName(name);
    // Started by hand while the engine runs, it goes on the air all the same: the engine's
    // log (once it has made the day's file) must not miss it.
    if (clsMainPerformLoop::fRunning() && g.gLogActivity && !g.gLogDate.empty() &&
        media->errorCode() == 0)
        clsActivityLog().fAppendPlayed(name);
    if (auto* w = mainWindowIfLoaded()) {
        w->setSliderMin(0);
        w->setSliderMax(toSliderSeconds(media->duration()));
    }
    return isGoingOn(media->playState());
}

void waitForItem()
{
    auto& g = globals();
    auto* media = services().media;
    auto* process = services().process;
    while (isGoingOn(media->playState())) {
        process->waitForEvents(250);
        if (g.gStopPlay)
            break;
    }
}

// An item stopped to make room for an armed start (Previous, Play File, a drop) must not
// make this activation move on by itself: the start decides what plays next, and it runs
// nested here. The bound only guards against a trigger that never fires.
void letArmedStartRun()
{
    auto& g = globals();
    auto* process = services().process;
    for (int round = 0; round < 1000; ++round) {
        auto* w = mainWindowIfLoaded();
        if (!w || !w->playListPlayerPending() || g.gExitProgram)
            return;
        process->waitForEvents(round == 0 ? 0 : 5);
    }
}

// One index for the program's play list: the player's steps read a line or two of it.
PlayListIndex& listIndex()
{
    static PlayListIndex index;
    return index;
}

} // namespace

int toSliderSeconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    double whole = std::nearbyint(seconds);
    return whole >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(whole);
}

std::optional<PlayListEntry> chooseNextEntry(const std::string& playListFile,
                                             const std::string& current, long currentIndex,
                                             bool sequential, Random& random)
{
    PlayListIndex& list = listIndex();
    if (!list.refresh(playListFile))
        return std::nullopt;
    // The occurrence that played: the one at the index it played from while it still holds
    // that name (a list may name an entry twice), else the first.
    const long at = currentIndex >= 0 && list.entryAt(currentIndex) == current ? currentIndex
                                                                               : list.find(current);
    if (sequential) {
        auto after = at >= 0 ? list.entryAt(at + 1) : std::nullopt;
        if (!after)
            return std::nullopt;
        return PlayListEntry{std::move(*after), at + 1};
    }
    // Every other entry with equal chance; the one that just played is left out.
    long others = list.count() - (at >= 0 ? 1 : 0);
    if (others <= 0)
        return std::nullopt;
    double r = random.next();
    long pick = static_cast<long>(std::floor(r * static_cast<double>(others)));
    pick = std::clamp(pick, 0L, others - 1);
    if (at >= 0 && pick >= at)
        ++pick;
    auto name = list.entryAt(pick);
    if (!name)
        return std::nullopt;
    return PlayListEntry{std::move(*name), pick};
}

void PlayListPlayer::run()
{
    auto& g = globals();
    auto& s = services();
    // The index is made in the one pass over the file this activation needs.
    if (!listIndex().refresh(g.gPlayListFile) || listIndex().count() == 0)
        return;
    bool seeded = false;
    long unplayed = 0;
    for (;;) {
        if (g.gPlayFirstEntry) {
            g.gPlayFirstEntry = false;
            if (position().name != g.gCurrentFileName)
                position() = {g.gCurrentFileName, -1};
        } else if (!g.gCurrentFileName.empty()) {
            bool sequential = g.gPlayListSequential || !s.random;
            if (!sequential && !seeded) {
                s.random->seedFromClock();
                seeded = true;
            }
            auto next = chooseNextEntry(g.gPlayListFile, g.gCurrentFileName, currentIndexHint(),
                                        sequential, *s.random);
            if (!next)
                break;
            g.gCurrentFileName = next->name;
            position() = std::move(*next);
        } else {
            auto first = playListEntryAt(g.gPlayListFile, 0);
            if (!first)
                break;
            g.gCurrentFileName = *first;
            position() = {std::move(*first), 0};
        }

        bool played = playCurrent();
        if (!played)
            tellNotPlayed(g.gCurrentFileName, listIndex().count());
        waitForItem();
        letArmedStartRun();

        if (g.gRandomIconWhileRunning && g.gChangeIconAfterFile && iconChange())
            iconChange()();
        if (!g.gPlayingPlayList && !g.gPlayFirstEntry)
            break;

        // A list of nothing but missing files or dead addresses would otherwise spin here
        // for ever in random order: let events run, and give up once every entry failed.
        if (played) {
            unplayed = 0;
        } else {
            s.process->processEvents();
            listIndex().refresh(g.gPlayListFile);
            if (++unplayed >= std::max(1L, listIndex().count()))
                break;
        }
    }
}

void PlayListPlayer::start()
{
    if (auto* w = mainWindow())
        w->startPlayListPlayer();
}

void PlayListPlayer::cancelStart()
{
    if (auto* w = mainWindowIfLoaded())
        w->cancelPlayListPlayer();
}

void PlayListPlayer::previous()
{
    auto& g = globals();
    auto* media = services().media;
    if (!isPlayable(g.gCurrentFileName))
        return;
    EntryScan scan = scanPlayList(g.gPlayListFile, g.gCurrentFileName, currentIndexHint(), true);
    if (scan.index <= 0 || !scan.before)
        return;
    cancelStart();
    media->stop();
    if (g.gPlayListSequential) {
        // The entry above is played as it stands.
        g.gCurrentFileName = *scan.before;
        position() = {std::move(*scan.before), scan.index - 1};
        g.gPlayFirstEntry = true;
    } else {
        // The player moves on from the entry two above, which in random order means a draw;
        // from the second line there is none above that, and the list starts again.
        std::optional<std::string> twoAbove;
        if (scan.index >= 2)
            twoAbove = playListEntryAt(g.gPlayListFile, scan.index - 2);
        g.gCurrentFileName = twoAbove.value_or("");
        position() = {g.gCurrentFileName, twoAbove ? scan.index - 2 : -1};
        g.gPlayFirstEntry = false;
    }
    start();
}

void PlayListPlayer::next()
{
    auto* media = services().media;
    if (isGoingOn(media->playState()))
        media->setCurrentPosition(media->duration());
}

void PlayListPlayer::back()
{
    auto* media = services().media;
    double target = media->currentPosition() - 10.0;
    if (target >= 0)
        media->setCurrentPosition(target);
}

void PlayListPlayer::step()
{
    auto* media = services().media;
    double target = media->currentPosition() + 10.0;
    if (media->duration() >= target)
        media->setCurrentPosition(target);
}

void PlayListPlayer::pause()
{
    services().media->pause();
}

void PlayListPlayer::stop()
{
    services().media->stop();
    cancelStart();
    globals().gPlayingPlayList = false;
}

void PlayListPlayer::playStateChanged(int, int newState, bool currentItem)
{
    auto* media = services().media;
    if (!currentItem) {
        // The player already describes the next item; the old one cannot have ended.
        if (newState == MediaPlayer::Stopped)
            globals().gStopPlay = true;
        return;
    }
    if (newState == MediaPlayer::Playing)
        globals().gStopPlay = false;
    else if (newState == MediaPlayer::Stopped)
        globals().gStopPlay = media->duration() != media->currentPosition();
}

void PlayListPlayer::setIconChangeAfterFile(std::function<void()> change)
{
    iconChange() = std::move(change);
}

void PlayListPlayer::forgetPosition()
{
    position() = {};
}

} // namespace quavix
