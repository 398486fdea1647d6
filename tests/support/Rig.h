#pragma once
// What tests share: a private temporary folder with the XDG variables pointed into it, a
// stand-in main window, an in-memory options store, and a rig that wires every service to
// a double (media in virtual time, scripted events, dialogs, clock and draws).
#include "engine/PlayListPlayer.h"
#include "fakes/Fakes.h"
#include "platform/OptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "startup/AfterFirstPaint.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
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

inline std::string writeText(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
}

// The transport buttons that take clicks, a letter each in bar order, "-" for a disabled one.
inline std::string enabledButtons(const MMControlState& bar)
{
    std::string text;
    for (int b = 0; b < ButtonCount; ++b)
        text += bar.buttonEnabled(static_cast<Button>(b)) ? "PNYUBSXRE"[b] : '-';
    return text;
}

// Restores the XDG variables and removes the folder when it goes out of scope.
class Sandbox {
public:
    Sandbox()
    {
        std::string pattern = (fs::temp_directory_path() / "quavix-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        for (auto [name, sub] : {std::pair{"XDG_CONFIG_HOME", "config"},
                                 {"XDG_DATA_HOME", "data"},
                                 {"XDG_STATE_HOME", "state"},
                                 {"XDG_CACHE_HOME", "cache"},
                                 {"XDG_RUNTIME_DIR", "runtime"},
                                 {"XDG_CONFIG_DIRS", "etc-xdg"},
                                 {"XDG_DATA_DIRS", "usr-share"}}) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
            fs::create_directories(m_root / sub);
            ::setenv(name, (m_root / sub).c_str(), 1);
        }
        fs::permissions(m_root / "runtime", fs::perms::owner_all);
    }
    ~Sandbox()
    {
        for (auto& [name, value] : m_saved)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    fs::path root() const { return m_root; }
    std::string path(const std::string& relative) const { return (m_root / relative).string(); }
    std::string write(const std::string& relative, const std::string& bytes) const
    {
        return writeText(m_root / relative, bytes);
    }

private:
    fs::path m_root;
    std::map<std::string, std::optional<std::string>> m_saved;
};

// The main window as lower layers see it; timerPlay fires only when firePending() runs.
class StandInWindow : public MainWindowPort {
public:
    int sliderMin = 0, sliderMaxValue = 0;
    std::vector<int> sliderMaxima;
    bool sliderEnabled = true;
    MMControlState bar;
    bool timer1 = false, pending = false, minimize = false;
    int starts = 0, disableTimersCalls = 0, frontCalls = 0;
    std::vector<bool> visibleCalls;
    std::vector<std::string> toolTips;
    std::function<void()> onTimerPlay;

    void firePending()
    {
        if (!pending)
            return;
        pending = false;
        if (onTimerPlay)
            onTimerPlay();
    }
    void setSliderMin(int s) override { sliderMin = s; }
    void setSliderMax(int s) override { sliderMaxima.push_back(sliderMaxValue = s); }
    int sliderMax() const override { return sliderMaxValue; }
    void setSliderEnabled(bool on) override { sliderEnabled = on; }
    MMControlState& mmControl() override { return bar; }
    void mmControlChanged() override {}
    void startPlayListPlayer() override
    {
        ++starts;
        pending = true;
    }
    void cancelPlayListPlayer() override { pending = false; }
    bool playListPlayerPending() const override { return pending; }
    void disableTimers() override
    {
        ++disableTimersCalls;
        timer1 = pending = false;
    }
    void setTimer1Enabled(bool on) override { timer1 = on; }
    bool minimizeChecked() const override { return minimize; }
    void setVisible(bool v) override { visibleCalls.push_back(v); }
    void bringToFront() override { ++frontCalls; }
    void setImageToolTip(const std::string& text) override { toolTips.push_back(text); }
};

class MemoryOptionsStore : public OptionsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;
    std::map<Key, std::string> values;
    std::vector<Key> saves; // every key saved, in order
    int gets = 0;
    bool failSaves = false; // every save fails and changes nothing

    std::string get(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& defaultValue) override
    {
        ++gets;
        auto it = values.find({app, section, key});
        return it == values.end() ? defaultValue : it->second;
    }
    bool save(const std::string& app, const std::string& section, const std::string& key,
              const std::string& value) override
    {
        if (failSaves)
            return false;
        saves.emplace_back(app, section, key);
        values[{app, section, key}] = value;
        return true;
    }
    bool saveAll(const std::string& app, const std::vector<OptionValue>& batch) override
    {
        if (failSaves)
            return false;
        for (const OptionValue& v : batch)
            save(app, v.section, v.key, v.value);
        return true;
    }
    std::vector<std::pair<std::string, std::string>> entries(const std::string& app,
                                                             const std::string& section) override
    {
        ++gets;
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& [key, value] : values)
            if (std::get<0>(key) == app && std::get<1>(key) == section)
                out.emplace_back(std::get<2>(key), value);
        return out;
    }
    std::string location() const override { return "/options/store.ini"; }
    void put(const std::string& section, const std::string& key, const std::string& value)
    {
        values[{"Quavix", section, key}] = value;
    }
    // Several "key=value" entries at once.
    void putAll(const std::string& section, std::initializer_list<std::string> entries)
    {
        for (const std::string& e : entries)
            put(section, e.substr(0, e.find('=')), e.substr(e.find('=') + 1));
    }
    // The values of `keys`, joined by "|".
    std::string listed(const std::string& section, std::initializer_list<std::string> keys) const
    {
        std::string text;
        for (const std::string& k : keys)
            text += (text.empty() ? "" : "|") + value(section, k);
        return text;
    }
    std::string value(const std::string& section, const std::string& key) const
    {
        auto it = values.find({"Quavix", section, key});
        return it == values.end() ? "<missing>" : it->second;
    }
};

// Every service wired to a double, globals reset, a play list and a station profile in the
// sandbox. With a window, the stand-in is the main window and its timerPlay runs the player.
class Rig {
public:
    Sandbox box;
    fakes::FakeMediaPlayer media;
    fakes::FakeProcess process;
    fakes::ScriptedDialogs dialogs;
    fakes::FixedClock clock;
    fakes::ScriptedRandom random;
    MemoryOptionsStore options;
    IniProfile profile;
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    fakes::MemoryClassesRegistry classes;
    fakes::ScriptedBrowser browser;
    StandInWindow window;
    std::string playList = box.path("list.m3u"), profileFile = box.path("station.ini");
    fs::path logFolder = box.root() / "logs";

    explicit Rig(bool withWindow = true)
    {
        resetGlobals();
        // A program past its start-up; the start-up tests reset this themselves.
        resetFirstPaint();
        firstPaintDone();
        PlayListPlayer::forgetPosition();
        PlayListPlayer::setIconChangeAfterFile(nullptr);
        Services& s = services();
        s = Services{};
        s.media = &media;
        s.process = &process;
        s.dialogs = &dialogs;
        s.clock = &clock;
        s.random = &random;
        s.options = &options;
        s.profile = &profile;
        s.tray = &tray;
        s.windows = &windows;
        s.classes = &classes;
        s.browser = &browser;
        if (!s.complete())
            std::abort(); // a service added to Services needs its double here
        process.wireTo(media);
        process.failSafeEvents = 200000;
        media.setPlayStateHandler(
            [](int o, int n, bool current) { PlayListPlayer::playStateChanged(o, n, current); });
        if (withWindow) {
            window.onTimerPlay = [] { PlayListPlayer::run(); };
            process.onEvents = [this] {
                media.deliverEvents();
                window.firePending();
            };
            setMainWindowLoader([this] { return &window; });
            mainWindow();
        }
        Globals& g = globals();
        g.gCommandLine = profileFile;
        g.gPlayListFile = playList;
        g.gLogLocation = logFolder.string() + "/";
        g.gStartUpAction = "Preview";
        g.gPlayListSequential = true;
        g.gLogActivity = true; // as the default profile's [StartUp] LogActivity=Yes
        setProfile("Yes");
    }
    ~Rig()
    {
        setMainWindowLoader(nullptr);
        media.setPlayStateHandler(nullptr);
        services() = Services{};
        resetGlobals();
    }

    // The station profile named on the command line.
    void setProfile(const std::string& continueValue)
    {
        writeText(profileFile, "[Play Status]\nContinue=" + continueValue + "\n");
    }
    // A song folder (ending in "/") listed in gMP3Locations.
    std::string addFolder(const std::string& name)
    {
        fs::create_directories(box.root() / name);
        globals().gMP3Locations.push_back(box.path(name) + "/");
        return globals().gMP3Locations.back();
    }
    // A song file on disk that the player can play for `seconds`.
    std::string addSong(const std::string& folder, const std::string& name, double seconds)
    {
        writeText(folder + name, "x");
        media.addItem(folder + name, seconds);
        return folder + name;
    }
    std::string song(const std::string& name, double seconds = 3.0)
    {
        return addSong(box.root().string() + "/", name, seconds);
    }
    // Songs s0 .. s<n-1>.
    std::vector<std::string> songs(int n, double seconds = 3.0)
    {
        std::vector<std::string> v;
        for (int i = 0; i < n; ++i)
            v.push_back(song("s" + std::to_string(i) + ".mp3", seconds));
        return v;
    }
    void writeList(const std::vector<std::string>& lines, const char* eol = "\r\n")
    {
        std::string text;
        for (const auto& l : lines)
            text += l + eol;
        writeText(playList, text);
    }
    std::string readList() const { return readText(playList); }
    std::string logFile(const std::string& date) const
    {
        return (logFolder / ("OnAirActivity-" + date + ".log")).string();
    }
    // Runs `action` once, at the first event pump after the player opened `count` items.
    void whenOpened(std::size_t count, std::function<void()> action)
    {
        auto previous = process.onEvents;
        auto done = std::make_shared<bool>(false);
        process.onEvents = [this, count, action, previous, done] {
            if (previous)
                previous();
            if (!*done && media.opened.size() >= count) {
                *done = true;
                action();
            }
        };
    }
};

} // namespace quavix::testing
