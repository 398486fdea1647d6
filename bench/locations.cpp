// The location history of a long-running listener: 100,000 addresses in the options file,
// loaded when Open Location appears and saved when an address is opened.
#include "openlocation/LocationHistory.h"
#include "platform/posix/IniOptionsStore.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

int main()
{
    constexpr int Entries = 100000;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quavix-bench-locations-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    quavix::IniOptionsStore store((dir / "options.ini").string());
    std::vector<std::string> history;
    for (int i = 0; i < Entries; ++i)
        history.push_back("http://radio" + std::to_string(i) + ".example.net:8000/live");

    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point from) {
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    };
    auto t0 = Clock::now();
    const bool saved = quavix::saveLocationHistory(store, history);
    const double save = ms(t0);
    // A fresh store, as a new start of the program reads it.
    quavix::IniOptionsStore reopened((dir / "options.ini").string());
    t0 = Clock::now();
    const auto loaded = quavix::loadLocationHistory(reopened);
    const double open = ms(t0);
    std::filesystem::remove_all(dir);
    if (!saved || loaded != history) {
        std::fprintf(stderr, "the history did not come back whole\n");
        return 1;
    }
    std::printf("RESULT locations_save_100k_history %.0f ms\n", save);
    std::printf("RESULT locations_open_100k_history %.0f ms\n", open);
    return 0;
}
