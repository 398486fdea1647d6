#pragma once
// Shared by the benchmark programs: every service set, the median of repeated runs and
// generated test songs.
#include "fakes/Fakes.h"
#include "platform/OptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "startup/Services.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gst/gst.h>
#include <map>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

class MemoryOptions : public quavix::OptionsStore {
public:
    std::string get(const std::string&, const std::string&, const std::string& key,
                    const std::string& defaultValue) override
    {
        auto it = m_values.find(key);
        return it == m_values.end() ? defaultValue : it->second;
    }
    bool save(const std::string&, const std::string&, const std::string& key,
              const std::string& value) override
    {
        m_values[key] = value;
        return true;
    }
    bool saveAll(const std::string& app, const std::vector<quavix::OptionValue>& values) override
    {
        for (const auto& v : values)
            save(app, v.section, v.key, v.value);
        return true;
    }
    std::vector<std::pair<std::string, std::string>> entries(const std::string&,
                                                             const std::string&) override
    {
        return {m_values.begin(), m_values.end()};
    }

private:
    std::map<std::string, std::string> m_values;
};

// Sets every service to a quiet double, as the program has them all set before anything runs;
// a benchmark then puts in the real ones it measures.
struct QuietServices {
    quavix::fakes::FakeMediaPlayer media;
    quavix::IniProfile profile;
    MemoryOptions options;
    quavix::fakes::MemoryClassesRegistry classes;
    quavix::fakes::RecordingTray tray;
    quavix::fakes::ScriptedDialogs dialogs;
    quavix::fakes::FakeProcess process;
    quavix::fakes::FixedClock clock;
    quavix::fakes::ScriptedRandom random;
    quavix::fakes::FakeWindowSystem windows;
    quavix::fakes::ScriptedBrowser browser;

    QuietServices()
    {
        process.endThrows = false;
        quavix::services() = {&media,   &profile, &options, &classes, &tray,   &dialogs,
                              &process, &clock,   &random,  &windows, &browser};
        if (!quavix::services().complete())
            std::abort(); // a service added to Services needs its double here
    }
    ~QuietServices() { quavix::services() = {}; }
    QuietServices(const QuietServices&) = delete;
    QuietServices& operator=(const QuietServices&) = delete;
};

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    auto n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Writes an MP3 (128 kbit/s, Xing header) of the given tenths of a second of a test wave.
// gst_init must have run. Ends the benchmark when it cannot.
inline void generateMp3(const std::string& path, int tenths, const char* wave = "sine")
{
    std::string desc = std::string("audiotestsrc wave=") + wave +
                       " volume=0.3 samplesperbuffer=4410 num-buffers=" + std::to_string(tenths) +
                       " ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc "
                       "target=bitrate bitrate=128 cbr=true ! xingmux ! filesink location=\"" +
                       path + "\"";
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(desc.c_str(), &err);
    if (!pipeline || err) {
        std::fprintf(stderr, "cannot generate %s\n", path.c_str());
        std::exit(1);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

// A loopback TCP port nobody listens on now (taken and let go).
inline int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// Whether something listens on the loopback port within `ms` milliseconds.
inline bool waitForPort(int port, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

// A fresh folder /tmp/quavix-bench-<name>-XXXXXX with the XDG folders of its own, set in the
// environment; empty when it cannot be made.
inline std::filesystem::path sandbox(const std::string& name)
{
    std::string pattern = "/tmp/quavix-bench-" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    const std::filesystem::path root = pattern;
    for (auto [key, sub] : {std::pair{"XDG_CONFIG_HOME", "config"},
                            {"XDG_DATA_HOME", "data"},
                            {"XDG_STATE_HOME", "state"},
                            {"XDG_CACHE_HOME", "cache"},
                            {"XDG_RUNTIME_DIR", "runtime"}}) {
        std::filesystem::create_directories(root / sub);
        ::setenv(key, (root / sub).c_str(), 1);
    }
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
    return root;
}

} // namespace bench
