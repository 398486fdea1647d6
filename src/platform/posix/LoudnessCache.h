#pragma once
// What was measured of songs (their loudness, true peak and where their sound begins and
// ends), kept in a file between runs so that a song is measured once: a folder of
// thousands of songs is looked up at start-up in milliseconds.
//
// A song is known by its path, size and modification time: a changed file is a new song.
// The file ($XDG_CACHE_HOME/quavix/loudness.tsv) is only ever a cache: a line that cannot be
// read is dropped (and the file written anew without it), one that cannot be written is
// lost; neither is ever an error for the caller. New measures are appended; the file is
// written anew when more than half of its lines are stale.
//
// Thread-safe: the player looks songs up while its measuring thread stores them.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace quavix {

struct SongMeasure {
    double loudness = 0; // integrated, LUFS; -inf for silence
    double truePeak = 0; // dBTP; -inf for silence
    // Seconds into the song of its first sound and the end of its last, at trimLevel dBFS
    // (0 for both when the song is silent throughout).
    double firstSound = 0, lastSound = 0;
    double trimLevel = -50;
    bool operator==(const SongMeasure&) const = default;
};

class LoudnessCache {
public:
    explicit LoudnessCache(std::string path);
    // Reads the file (once; later calls do nothing).
    void load();
    // The measure of `file` when the file is still the one measured.
    std::optional<SongMeasure> find(const std::string& file) const;
    void store(const std::string& file, const SongMeasure& measure);
    std::size_t size() const;

private:
    struct Entry {
        std::uint64_t size = 0;
        std::int64_t modified = 0; // ns since the epoch
        SongMeasure measure;
    };
    static std::optional<Entry> stat(const std::string& file);
    static std::string lineOf(const std::string& file, const Entry& e);
    void rewrite(); // with m_mutex held

    const std::string m_path;
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_entries;
    std::size_t m_lines = 0; // in the file
    bool m_loaded = false;
    bool m_damaged = false; // lines were dropped: the next store writes the file anew
};

} // namespace quavix
