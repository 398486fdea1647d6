#pragma once
// A sandbox for the play engine: temp song folders, a profile file read by the real
// reader, a virtual-time player, scripted events, dialogs, clock and random, and a
// stand-in main window that handles the player's events the way the real one does.
#include "engine/RenameDialog.h"
#include "fakes/Fakes.h"
#include "platform/posix/IniProfile.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace quavix::testing {

namespace fs = std::filesystem;

inline std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeText(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "quavix-engine-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

// Form1 as far as the engine sees it: the slider, and the player's play-state event.
class StandInMainWindow : public MainWindowPort {
public:
    std::vector<int> sliderMaxima;
    int sliderMin = -1;
    void setSliderMin(int s) override { sliderMin = s; }
    void setSliderMax(int s) override { sliderMaxima.push_back(s); }
    int sliderMax() const override { return sliderMaxima.empty() ? 0 : sliderMaxima.back(); }
    void setSliderEnabled(bool) override {}
    MMControlState& mmControl() override { return m_mm; }
    void mmControlChanged() override {}
    void startPlayListPlayer() override {}
    void disableTimers() override {}
    void setTimer1Enabled(bool) override {}
    bool minimizeChecked() const override { return false; }
    void setVisible(bool) override {}
    void setImageToolTip(const std::string&) override {}

private:
    MMControlState m_mm;
};

// The rename window without the toolkit: records what the engine put in it.
class RecordingRenameDialog : public RenameDialogPort {
public:
    struct Log {
        std::string currentName, songPath;
        int shows = 0, hides = 0, loads = 0;
    };
    explicit RecordingRenameDialog(Log& log) : m_log(log) { ++m_log.loads; }
    void setCurrentName(const std::string& n) override { m_log.currentName = n; }
    void setSongPath(const std::string& p) override { m_log.songPath = p; }
    void showModeless() override { ++m_log.shows; }
    void hideDialog() override { ++m_log.hides; }

private:
    Log& m_log;
};

class EngineSandbox {
public:
    TempDir dir;
    fakes::FakeMediaPlayer media;
    fakes::FakeProcess process;
    fakes::ScriptedDialogs dialogs;
    fakes::FixedClock clock;
    fakes::ScriptedRandom random;
    IniProfile profile{"/nonexistent/quavix.ini"};
    StandInMainWindow form;
    fs::path profileFile, playList, logFolder;

    EngineSandbox()
    {
        resetGlobals();
        Services& s = services();
        s = Services{};
        s.media = &media;
        s.process = &process;
        s.dialogs = &dialogs;
        s.clock = &clock;
        s.random = &random;
        s.profile = &profile;
        process.wireTo(media);
        process.failSafeEvents = 200000;
        setMainWindowLoader([this] { return &form; });
        media.setPlayStateHandler([this](int, int now) {
            // What the main window does with the player's events.
            if (now == MediaPlayer::Playing)
                globals().gStopPlay = false;
            else if (now == MediaPlayer::Stopped)
                globals().gStopPlay = media.duration() != media.currentPosition();
        });
        profileFile = dir.path / "station.ini";
        playList = dir.path / "list.m3u";
        logFolder = dir.path / "logs";
        Globals& g = globals();
        g.gCommandLine = profileFile.string();
        g.gPlayListFile = playList.string();
        g.gLogLocation = logFolder.string() + "/";
        g.gStartUpAction = "Preview";
        setProfile("Yes", "Yes");
    }
    ~EngineSandbox()
    {
        setResetSongFileNameLoader(nullptr);
        setMainWindowLoader(nullptr);
        services() = Services{};
        resetGlobals();
    }

    void setProfile(const std::string& continueValue, const std::string& logActivity)
    {
        writeText(profileFile, "[StartUp]\nLogActivity=" + logActivity +
                                   "\n[Play Status]\nContinue=" + continueValue + "\n");
    }

    // A song folder (ending in "/") listed in gMP3Locations.
    std::string addFolder(const std::string& name)
    {
        fs::create_directories(dir.path / name);
        std::string folder = (dir.path / name).string() + "/";
        globals().gMP3Locations.push_back(folder);
        return folder;
    }

    // A song file the player knows, with its length in seconds.
    std::string addSong(const std::string& folder, const std::string& name, double seconds)
    {
        std::string path = folder + name;
        writeText(path, "");
        media.addItem(path, seconds);
        return path;
    }

    std::string logFile(const std::string& date) const
    {
        return (logFolder / ("OnAirActivity-" + date + ".log")).string();
    }
};

} // namespace quavix::testing
