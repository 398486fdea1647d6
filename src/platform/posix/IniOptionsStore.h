#pragma once
// The options store on one INI file of our own ($XDG_CONFIG_HOME/quavix/options.ini),
// readable without the toolkit so that the launcher can use it.
//
// File layout: "[section]" lines, then "key=value" lines; ';' starts a comment line.
// Section names, keys and values are escaped so that any text survives: "\\", "\n", "\r",
// "\t" and "\xHH" (other control bytes; in names also '=', '[', ']', ';'; blanks at either
// end of a value). Section and key names match ASCII case-insensitively, as in the
// registry the program grew up with; the first spelling saved is kept. The application
// name is not stored: the file belongs to one application, "Quavix", and every app name
// addresses the same entries.
//
// Saves: flock on "<file>.lock", read the current file, change the values, replace the file
// through a synced temporary (replaceFile: a symbolic link and the permissions survive). Concurrent
// writers in other processes therefore never lose a key. A file with lines it cannot parse (or
// binary bytes) is copied to "<file>.bad-<yyyymmdd-hhmmss>" before the save rewrites it; the
// entries it could parse are kept. Reads take no lock: a rename replaces the file whole.
//
// Not thread-safe: one thread at a time (the store keeps what it read). A thread may use it
// first and hand it over to another once it is done (a join orders the two): the strip's
// start-up reads the options on its early thread (platform/linux/EarlyStart.h).
#include "platform/OptionsStore.h"

#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace quavix {

class IniOptionsStore : public OptionsStore {
public:
    // path: the store file; "" = xdg::optionsPath() at construction.
    explicit IniOptionsStore(std::string path = {});
    std::string get(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& defaultValue) override;
    bool save(const std::string& app, const std::string& section, const std::string& key,
              const std::string& value) override;
    bool saveAll(const std::string& app, const std::vector<OptionValue>& values) override;
    std::vector<std::pair<std::string, std::string>> entries(const std::string& app,
                                                             const std::string& section) override;
    const std::string& path() const { return m_path; }
    std::string location() const override { return m_path; }

    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        // Each key, ASCII-lowered, to its place in entries: lists of many thousand keys
        // (the location history) are found and saved without a scan per key.
        std::unordered_map<std::string, std::size_t> index;
        Entry* find(std::string_view key);
        void add(std::string key, std::string value);
    };
    struct Contents {
        std::vector<Section> sections;
        bool damaged = false; // some line could not be parsed
    };
    static Contents parse(const std::string& text);
    static std::string format(const Contents& contents);

private:
    Contents& current();
    std::string m_path;
    Contents m_cache;
    bool m_cacheValid = false;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    long long m_mtimeNs = 0;
    off_t m_size = -1;
};

} // namespace quavix
