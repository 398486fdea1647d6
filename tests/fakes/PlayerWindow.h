#pragma once
// A stand-in for the main window as the player and the dialogs see it (MainWindowPort),
// plus an in-memory options store. Header-only: the tests that use it link the program's
// libraries anyway.
#include "platform/OptionsStore.h"
#include "startup/Windows.h"

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace quavix::fakes {

class PlayerTestWindow : public MainWindowPort {
public:
    int sliderMin = 0, sliderMaxValue = 0;
    bool sliderEnabled = true;
    MMControlState bar;
    int barChanges = 0;
    bool timer1 = false;
    bool pending = false; // timerPlay armed
    int starts = 0, cancels = 0;
    bool minimize = false, visible = false;
    std::vector<std::string> toolTips;
    // What timerPlay runs when it fires (the test sets the player's activation).
    std::function<void()> onTimerPlay;

    // Fires an armed timerPlay, as the event loop would.
    void firePending()
    {
        if (!pending)
            return;
        pending = false;
        if (onTimerPlay)
            onTimerPlay();
    }

    void setSliderMin(int s) override { sliderMin = s; }
    void setSliderMax(int s) override { sliderMaxValue = s; }
    int sliderMax() const override { return sliderMaxValue; }
    void setSliderEnabled(bool on) override { sliderEnabled = on; }
    MMControlState& mmControl() override { return bar; }
    void mmControlChanged() override { ++barChanges; }
    void startPlayListPlayer() override
    {
        ++starts;
        pending = true;
    }
    void cancelPlayListPlayer() override
    {
        ++cancels;
        pending = false;
    }
    bool playListPlayerPending() const override { return pending; }
    void disableTimers() override
    {
        timer1 = false;
        pending = false;
    }
    void setTimer1Enabled(bool on) override { timer1 = on; }
    bool minimizeChecked() const override { return minimize; }
    void setVisible(bool v) override { visible = v; }
    void setImageToolTip(const std::string& text) override { toolTips.push_back(text); }
};

class MemoryOptionsStore : public OptionsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;
    std::map<Key, std::string> values;
    std::vector<Key> saves; // every key saved, in order
    bool failSaves = false;

    std::string get(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& defaultValue) override
    {
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
    std::string value(const std::string& section, const std::string& key,
                      const std::string& missing = "<missing>") const
    {
        auto it = values.find({"Quavix", section, key});
        return it == values.end() ? missing : it->second;
    }
};

} // namespace quavix::fakes
