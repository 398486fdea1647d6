#pragma once
// Test doubles for the outside services. Each records what the program asked of it and
// answers from a script the test sets up.
#include "platform/Browser.h"
#include "platform/ClassesRegistry.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MediaPlayer.h"
#include "platform/Process.h"
#include "platform/Tray.h"
#include "platform/WindowSystem.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quavix::fakes {

// Thrown by FakeProcess::endProgram so that a test sees the program end where it would.
struct ProgramEnded {};

// A media player in virtual time: items have scripted durations and play on only when
// advance() is called (FakeProcess::sleep does so when wired with wireTo()).
class FakeMediaPlayer : public MediaPlayer {
public:
    void addItem(const std::string& name, double duration) { m_items[name] = duration; }
    // The item cannot be opened any more (its file went away).
    void removeItem(const std::string& name) { m_items.erase(name); }
    // An item whose open fails with `code`, told as the real player tells it.
    void addFailure(const std::string& name, long code, const std::string& why)
    {
        m_failures[name] = {code, "Cannot play \"" + name + "\": " + why};
    }
    // Plays on by the given seconds; an item reaching its end stops with position == duration.
    void advance(double seconds);
    // Delivers the play-state events queued since the last call.
    void deliverEvents();
    std::vector<std::pair<int, int>> delivered; // every event delivered so far
    std::vector<std::string> opened;            // every name given to setFileName
    int stopCalls = 0;

    void setFileName(const std::string& name) override;
    std::string fileName() const override { return m_name; }
    double duration() override { return m_duration; }
    double currentPosition() override { return m_position; }
    void setCurrentPosition(double seconds) override;
    int playState() override { return m_state; }
    long errorCode() override { return m_error; }
    std::string errorDescription() override
    {
        if (!m_error)
            return "";
        auto it = m_failures.find(m_name);
        return it == m_failures.end() ? "cannot open " + m_name : it->second.second;
    }
    int volume() const override { return m_volume; }
    void setVolume(int v) override { m_volume = std::clamp(v, -10000, 0); }
    void pause() override;
    void play() override;
    void stop() override;

private:
    void changeState(int newState);
    std::map<std::string, double> m_items;
    std::map<std::string, std::pair<long, std::string>> m_failures;
    std::deque<PlayStateEvent> m_pending;
    std::string m_name;
    double m_duration = 0, m_position = 0;
    int m_state = Stopped;
    long m_error = 0;
    int m_volume = 0;
};

class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        std::string title, text;
        MsgIcon icon;
        MsgButtons buttons;
    };
    std::vector<Box> boxes;
    std::deque<MsgAnswer> answers; // empty: Ok for OK boxes, No for Yes/No boxes
    std::vector<FileDialogRequest> fileRequests;
    std::deque<std::optional<std::string>> fileAnswers; // empty: Cancel
    // Runs while a box is open, before it is answered (as the box's own event loop would).
    std::function<void(const Box&)> whileOpen;

    MsgAnswer messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& r) override { return openFile(r); }
    std::vector<std::string> titles() const;
};

class FakeProcess : public Process {
public:
    std::string commandLineText;
    bool previous = false;
    int previousAsked = 0;
    std::string appTitle = "Quavix";
    bool activateAnswer = true;
    std::vector<std::string> activated; // titles asked to activate
    int processEventsCalls = 0;
    long sleptMs = 0;
    bool ended = false;
    // Run by processEvents: first every pending scripted action (in order), then onEvents.
    std::deque<std::function<void()>> actions;
    std::function<void()> onEvents;
    std::function<void(int)> onSleep;
    // Ends the program (throws ProgramEnded) after this many processEvents calls; 0 = never.
    long failSafeEvents = 1000000;

    // Sleeping advances the player's virtual time; pending events reach it in processEvents.
    void wireTo(FakeMediaPlayer& player);

    std::string commandLine() override { return commandLineText; }
    // The entries as given, or the command line as one entry when none are.
    std::vector<std::string> entries;
    bool returnNoEntries = false; // as for words that are all empty
    std::vector<std::string> playListEntries() override
    {
        if (returnNoEntries || !entries.empty() || commandLineText.empty())
            return entries;
        return {commandLineText};
    }
    bool previousInstance() override
    {
        ++previousAsked;
        return previous;
    }
    std::string title() override { return appTitle; }
    void setTitle(const std::string& t) override { appTitle = t; }
    bool activateWindow(const std::string& title) override
    {
        activated.push_back(title);
        return activateAnswer;
    }
    void processEvents() override;
    // Advances virtual time by ms (onSleep), then runs pending events (processEvents).
    void waitForEvents(int milliseconds) override;
    // False: endProgram only records the end (for an end reached from inside a Qt event,
    // which an exception must not cross).
    bool endThrows = true;
    int endStatus = -1;
    void endProgram(int status = 0) override
    {
        ended = true;
        endStatus = status;
        if (endThrows)
            throw ProgramEnded{};
    }
};

class FixedClock : public Clock {
public:
    LocalDateTime time{2026, 12, 6, 16, 30, 0};
    LocalDateTime now() override { return time; }
    std::string dateTimeText() override;
};

// Draws from a list, then repeats its last value; seeding is counted.
class ScriptedRandom : public Random {
public:
    std::deque<double> draws;
    double last = 0.0;
    int seeds = 0;
    void seedFromClock() override { ++seeds; }
    double next() override;
};

class RecordingTray : public Tray {
public:
    std::vector<std::pair<int, NotifyIconData>> calls;
    bool present = false;
    bool availableAnswer = true;
    bool notify(int message, const NotifyIconData& record) override;
    bool available() const override { return availableAnswer; }
};

class MemoryClassesRegistry : public ClassesRegistry {
public:
    std::map<std::string, std::string> values; // keys exactly as given
    bool failWrites = false;                   // every setValue fails, nothing changes
    std::set<std::string> failingKeys;         // setValue of these fails
    std::optional<std::string> queryValue(const std::string& key) override;
    bool setValue(const std::string& key, const std::string& value) override
    {
        if (failWrites || failingKeys.count(key))
            return false;
        values[key] = value;
        return true;
    }
    std::string location(const std::string&) override { return "/registry/classes"; }
};

class FakeWindowSystem : public WindowSystem {
public:
    PixelRect desktop{0, 0, 1920, 1080};
    double twips = 15.0;

    // The window in front and its state; a handle missing from `rects` has gone.
    Handle foreground = 0;
    bool visible = true;
    std::map<Handle, PixelRect> rects;
    std::vector<Handle> topmostCalls;
    int questions = 0;

    Handle foregroundWindow() override
    {
        ++questions;
        return foreground;
    }
    bool isVisible(Handle) override { return visible; }
    std::optional<PixelRect> windowRect(Handle w) override
    {
        auto it = rects.find(w);
        return it == rects.end() ? std::nullopt : std::optional<PixelRect>(it->second);
    }
    void makeTopmost(Handle w, bool on) override
    {
        if (on)
            topmostCalls.push_back(w);
    }
    PixelRect desktopRect() override { return desktop; }
    double twipsPerPixelX() override { return twips; }
    double twipsPerPixelY() override { return twips; }
};

// Answers findBrowser from `browser` and open from `opens`; records every start asked for.
class ScriptedBrowser : public Browser {
public:
    std::optional<std::string> browser = "firefox.desktop";
    bool opens = true;
    int finds = 0;
    std::vector<std::pair<std::string, std::string>> started; // browser, address
    std::optional<std::string> findBrowser() override
    {
        ++finds;
        return browser;
    }
    bool open(const std::string& b, const std::string& address) override
    {
        started.emplace_back(b, address);
        return opens;
    }
};

} // namespace quavix::fakes
