#include "LocationHistory.h"

#include "platform/TextFiles.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

namespace quavix {

namespace {
std::string historyKey(std::size_t n)
{
    return "LocationHistory" + std::to_string(n);
}
} // namespace

std::string loadLastLocation(OptionsStore& store)
{
    return store.get(ProgramTitle, LocationsSection, "LastLocation", "");
}

std::vector<std::string> loadLocationHistory(OptionsStore& store)
{
    // The section is read once and its keys looked up here: a store asked key by key for a
    // history of many thousand entries would read it as often.
    std::unordered_map<std::string, std::string> byKey;
    for (auto& [key, value] : store.entries(ProgramTitle, LocationsSection))
        byKey.emplace(text::asciiLowered(key), std::move(value)); // the first spelling counts
    std::vector<std::string> history;
    for (std::size_t n = 0;; ++n) {
        auto it = byKey.find("locationhistory" + std::to_string(n));
        if (it == byKey.end() || it->second == LocationHistoryEnd)
            return history;
        history.push_back(std::move(it->second));
    }
}

void addLocationIfNew(std::vector<std::string>& history, const std::string& address)
{
    if (address == LocationHistoryEnd)
        return;
    if (std::find(history.begin(), history.end(), address) == history.end())
        history.insert(history.begin(), address);
}

bool saveLocationHistory(OptionsStore& store, const std::vector<std::string>& history)
{
    std::vector<OptionValue> values;
    values.reserve(history.size() + 1);
    for (const auto& entry : history)
        if (entry != LocationHistoryEnd)
            values.push_back({LocationsSection, historyKey(values.size()), entry});
    values.push_back({LocationsSection, historyKey(values.size()), LocationHistoryEnd});
    return store.saveAll(ProgramTitle, values);
}

bool openLocation(const std::string& address, std::vector<std::string>& history)
{
    auto& s = services();
    MainWindowPort* w = mainWindow();
    if (w) {
        w->mmControl().applyStream();
        w->mmControlChanged();
        w->setImageToolTip("Opening " + address);
    }
    // An empty name would only close the current item, which is no successful open.
    bool opened = false;
    if (!address.empty()) {
        s.media->setFileName(address);
        opened = s.media->errorCode() == 0;
    }
    if ((w = mainWindowIfLoaded()))
        w->setImageToolTip(address);
    if (!opened) {
        // The box keeps its words; why it failed is the status display's to say.
        if (w && !address.empty())
            w->showStatusMessage(s.media->errorDescription());
        s.dialogs->messageBox("URL Not Loaded",
                              std::string("An error occured loading the requested URL.") + CrLf +
                                  CrLf +
                                  "Check the source URL to ensure that it is correct and active.",
                              MsgIcon::Information, MsgButtons::Ok);
        return false;
    }
    if (w) {
        w->setSliderEnabled(false);
        w->setSliderMin(std::max(w->sliderMax(), INT_MIN + 1) - 1);
    }
    s.options->save(ProgramTitle, LocationsSection, "LastLocation", address);
    addLocationIfNew(history, address);
    saveLocationHistory(*s.options, history);
    if (w)
        w->setTimer1Enabled(true);
    return true;
}

} // namespace quavix
