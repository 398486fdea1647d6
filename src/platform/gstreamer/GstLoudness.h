#pragma once
// Measures songs (EBU R128 integrated loudness and true peak with libebur128, and where
// their sound begins and ends) on a thread of its own, and keeps what it measured in the
// cache (platform/posix/LoudnessCache.h) for every later run.
//
// What it measures, in this order: a song the player is about to play and waits for
// (measureOf), then the songs the player expects next (expect, after(): those after the
// song that plays first), each once. Between expected songs it rests, so that it takes a
// small part of one processor while music plays; its decoding threads run at the lowest
// priority.
//
// Threads: every call from the player's thread; the measuring on its own thread and the
// threads of its decoding pipeline.
#include "platform/posix/LoudnessCache.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quavix {

class GstLoudness {
public:
    // `trimLevel` (dBFS): the level of the first and last sound it notes.
    GstLoudness(LoudnessCache& cache, double trimLevel);
    ~GstLoudness();
    GstLoudness(const GstLoudness&) = delete;
    GstLoudness& operator=(const GstLoudness&) = delete;

    // The measure of a local file: from the cache, or measured now ahead of everything else
    // for up to `wait` (it is then measured on for next time). nullopt when it took longer,
    // or the file cannot be measured.
    std::optional<SongMeasure> measureOf(const std::string& file, std::chrono::milliseconds wait);
    // The songs likely to play, in order; replaces what was expected before.
    void expect(std::vector<std::string> files);
    // The song that plays now: the expected songs after it are measured first.
    void playing(const std::string& file);

    // Measures one file on the calling thread (also for the benchmarks); nullopt when it
    // cannot be decoded, or when `cancel` turned true meanwhile (seen within 100 ms).
    static std::optional<SongMeasure> measure(const std::string& file, double trimLevel,
                                              const std::atomic<bool>* cancel = nullptr);

private:
    void run();

    LoudnessCache& m_cache;
    const double m_trimLevel;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_measured;
    std::deque<std::string> m_urgent;
    std::vector<std::string> m_expected;
    std::size_t m_nextExpected = 0;
    std::size_t m_checked = 0;         // expected songs found measured in a row
    std::vector<std::string> m_failed; // measured once, not measurable
    std::string m_measuring;
    bool m_stop = false;
    std::atomic<bool> m_cancel{false}; // the measure under way is given up: the player ends
    std::thread m_thread;
};

} // namespace quavix
