#pragma once
// A sandbox for driving the play-list player as a user does: fake media in virtual time,
// a scripted event pump, scripted dialogs and draws, an in-memory options store, a stand-in
// main window and a real temporary play list file with real (empty) song files.
#include "engine/PlayListPlayer.h"
#include "fakes/Fakes.h"
#include "fakes/PlayerWindow.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace quavix::testing {

class PlayerHarness {
public:
    fakes::FakeMediaPlayer media;
    fakes::FakeProcess process;
    fakes::ScriptedDialogs dialogs;
    fakes::ScriptedRandom random;
    fakes::MemoryOptionsStore options;
    fakes::PlayerTestWindow window;
    std::filesystem::path dir;
    std::string playList;

    // `withWindow` false leaves the main window to the test (a real Form1).
    explicit PlayerHarness(bool withWindow = true)
    {
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("quavix-player-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        playList = (dir / "playlist.m3u").string();

        resetGlobals();
        PlayListPlayer::forgetPosition();
        PlayListPlayer::setIconChangeAfterFile(nullptr);
        auto& s = services();
        s = Services{};
        s.media = &media;
        s.process = &process;
        s.dialogs = &dialogs;
        s.random = &random;
        s.options = &options;
        process.failSafeEvents = 200000;
        process.wireTo(media);
        if (withWindow) {
            window.onTimerPlay = [] { PlayListPlayer::run(); };
            process.onEvents = [this] {
                media.deliverEvents();
                window.firePending();
            };
            setMainWindowLoader([this] { return &window; });
            mainWindow();
        }
        media.setPlayStateHandler([](int o, int n) { PlayListPlayer::playStateChanged(o, n); });
        auto& g = globals();
        g.gPlayListFile = playList;
        g.gPlayListSequential = true;
    }

    ~PlayerHarness()
    {
        setMainWindowLoader(nullptr);
        media.setPlayStateHandler(nullptr);
        services() = Services{};
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // A song file that exists on disk and that the fake player can play for `seconds`.
    std::string song(const std::string& name, double seconds = 3.0)
    {
        auto path = (dir / name).string();
        std::ofstream(path).put('x');
        media.addItem(path, seconds);
        return path;
    }

    // Songs s0 .. s<n-1>, each `seconds` long.
    std::vector<std::string> songs(int n, double seconds = 3.0)
    {
        std::vector<std::string> v;
        for (int i = 0; i < n; ++i)
            v.push_back(song("s" + std::to_string(i) + ".mp3", seconds));
        return v;
    }

    void writeList(const std::vector<std::string>& lines, const char* eol = "\r\n")
    {
        std::ofstream out(playList, std::ios::binary | std::ios::trunc);
        for (const auto& l : lines)
            out << l << eol;
    }

    std::string readList() const
    {
        std::ifstream in(playList, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Runs `action` once the fake player has opened `count` items in all.
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
