#pragma once
// Where the program keeps its files, after the XDG base directory rules: an XDG_* variable
// counts only when it holds an absolute path; otherwise the usual folder under $HOME
// (or the password database's home when HOME is unset) is used.
//
// Header-only on purpose: the start-up layer needs the default log folder without linking
// the real services.
#include <cctype>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace quavix::xdg {

inline std::string home()
{
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// The variable's value when it is an absolute path, else "".
inline std::string absoluteEnv(const char* name)
{
    const char* v = std::getenv(name);
    return v && v[0] == '/' ? std::string(v) : std::string();
}

inline std::string withHome(const char* name, const char* underHome)
{
    std::string v = absoluteEnv(name);
    return v.empty() ? home() + underHome : v;
}

inline std::string configHome()
{
    return withHome("XDG_CONFIG_HOME", "/.config");
}
inline std::string dataHome()
{
    return withHome("XDG_DATA_HOME", "/.local/share");
}
inline std::string stateHome()
{
    return withHome("XDG_STATE_HOME", "/.local/state");
}
inline std::string cacheHome()
{
    return withHome("XDG_CACHE_HOME", "/.cache");
}

// $XDG_RUNTIME_DIR, or /tmp when it is unset (the runtime folder is optional).
inline std::string runtimeDir()
{
    std::string v = absoluteEnv("XDG_RUNTIME_DIR");
    return v.empty() ? std::string("/tmp") : v;
}

// A colon-separated list; relative entries are dropped; the fallback when none is left.
inline std::vector<std::string> dirList(const char* name, const char* fallback)
{
    auto split = [](const std::string& s) {
        std::vector<std::string> out;
        std::size_t start = 0;
        while (start <= s.size()) {
            std::size_t end = s.find(':', start);
            if (end == std::string::npos)
                end = s.size();
            std::string part = s.substr(start, end - start);
            if (!part.empty() && part[0] == '/')
                out.push_back(part);
            start = end + 1;
        }
        return out;
    };
    const char* v = std::getenv(name);
    auto dirs = split(v ? v : "");
    return dirs.empty() ? split(fallback) : dirs;
}

inline std::vector<std::string> configDirs()
{
    return dirList("XDG_CONFIG_DIRS", "/etc/xdg");
}
inline std::vector<std::string> dataDirs()
{
    return dirList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

// The mimeapps.list files in the order the association rules read them: the config
// folders, then the applications folders; in each, those of $XDG_CURRENT_DESKTOP (lowered,
// in its order) before the plain one.
inline std::vector<std::string> mimeAppsFiles()
{
    std::vector<std::string> desktops;
    if (const char* v = std::getenv("XDG_CURRENT_DESKTOP")) {
        std::string d;
        for (const char* c = v;; ++c) {
            if (*c == ':' || *c == '\0') {
                if (!d.empty())
                    desktops.push_back(d);
                d.clear();
                if (*c == '\0')
                    break;
            } else {
                d += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
            }
        }
    }
    std::vector<std::string> dirs{configHome()};
    for (const auto& d : configDirs())
        dirs.push_back(d);
    dirs.push_back(dataHome() + "/applications");
    for (const auto& d : dataDirs())
        dirs.push_back(d + "/applications");
    std::vector<std::string> files;
    for (const auto& d : dirs) {
        for (const auto& desktop : desktops)
            files.push_back(d + "/" + desktop + "-mimeapps.list");
        files.push_back(d + "/mimeapps.list");
    }
    return files;
}

// The program's own folders.
inline std::string quavixConfigDir()
{
    return configHome() + "/quavix";
}
inline std::string defaultProfilePath()
{
    return quavixConfigDir() + "/quavix.ini";
}
inline std::string optionsPath()
{
    return quavixConfigDir() + "/options.ini";
}
// Activity logs when the profile names no log location; ends with "/" because the log
// writer appends the file name directly.
inline std::string defaultLogFolder()
{
    return stateHome() + "/quavix/";
}
// What was measured of songs, kept to be used again.
inline std::string loudnessCachePath()
{
    return cacheHome() + "/quavix/loudness.tsv";
}

} // namespace quavix::xdg
