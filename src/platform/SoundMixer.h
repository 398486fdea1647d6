#pragma once
// The mixer between the items' decoders and the one sound output that outlives them.
//
// Every item is decoded ahead of time into a feed; the output asks the mixer for sound as
// it needs it, some hundred milliseconds before the sound is heard. So an item's end is
// known ahead of its last sample being heard, and the next item, opened when the player
// learns of the end, starts right after it: no gap between songs. The same look-ahead
// gives each item its own gain from its first sample, overlaps songs (crossfade), skips
// the silence at their edges and ends a song that went silent (dead air).
//
// Threads: add(), fadeOutAll(), clear(), interrupt(), setLimiter() and the position
// questions come from the player's thread; render() and the feeds' pull() run on the
// output's streaming thread only. News (an item is over) is told on the output's thread.
//
// Units: frames of MixChannels interleaved float samples at MixRate; positions in seconds
// of the item's own time (a seek's start included).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quavix {

inline constexpr int MixRate = 44100;
inline constexpr int MixChannels = 2;

// The decoded sound of one item.
class SoundFeed {
public:
    virtual ~SoundFeed() = default;
    // Appends the frames the decoder has ready (waiting up to `wait` when it has none) to
    // `out`. False once the item has nothing more to give (its end, or a failure); frames
    // appended by that same call still count.
    virtual bool pull(std::vector<float>& out, std::chrono::milliseconds wait) = 0;
};

// How one item is played.
struct SoundShape {
    double gain = 1.0;               // linear, on every sample of the item
    double start = 0;                // seconds: where in the item the feed begins
    std::optional<double> end;       // seconds: where its sound ends; nullopt: the feed's end
    double crossfade = 0;            // seconds of overlap with the next item; 0: none
    double trimLevel = 0;            // linear; > 0: quieter frames at the edges are skipped
    double deadAir = 0;              // seconds below the dead-air level that end it; 0: never
    double deadAirLevel = 0.0031623; // linear (-50 dBFS)
};

// The peak limiter behind a loudness gain: keeps the true peak (estimated at four times the
// rate from Taps neighbours, as a meter reads it) at or below a ceiling, looking a few
// milliseconds ahead; the sound comes out Delay frames late. Sound that nothing brings near
// the ceiling passes unchanged, sample for sample, at the cost of a copy.
class PeakLimiter {
public:
    static constexpr int Lookahead = 128;
    static constexpr int Taps = 24;
    static constexpr int Delay = Lookahead + Taps / 2 - 1;
    explicit PeakLimiter(double ceilingLinear);
    // In place, frames of interleaved stereo.
    void process(float* samples, std::size_t frames);

private:
    double truePeak() const;
    void pushBox(double least);

    const double m_ceiling;
    double m_quiet = 0;           // below it everywhere in the taps, nothing can reach the ceiling
    std::vector<float> m_history; // the last Taps frames of input per channel, twice over
    int m_at = 0;                 // where in m_history the next frame goes
    std::vector<float> m_delay;   // frames waiting for their gain (interleaved, a ring)
    std::int64_t m_in = 0;        // frames come in so far
    std::int64_t m_lastLoud = -Taps; // the last frame at or over m_quiet
    // The gains that the frames of the look-ahead need, where less than 1: (frame, gain),
    // gains rising, so that the front is the least.
    std::deque<std::pair<std::int64_t, double>> m_windowMins;
    std::vector<double> m_box; // the least gains of the last Lookahead frames out (a ring)
    std::size_t m_boxAt = 0, m_boxCount = 0, m_boxBelow = 0;
    double m_boxSum = 0;
    double m_gain = 1;
};

class SoundMixer {
public:
    enum class News {
        Over,    // the item is over for whoever waits for it: the next may start now
        DeadAir, // it stayed silent too long and is ended (Over follows)
    };
    // On the output's thread; position in seconds of the item's time.
    using Listener = std::function<void(std::uint64_t item, News news, double position)>;

    // After an item is over, how long the mixer waits for the next before it lets silence
    // through: less than the output's look-ahead, so that a next item opened within it
    // follows without a gap.
    static constexpr std::chrono::milliseconds Grace{200};

    explicit SoundMixer(Listener listener);
    ~SoundMixer();
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    // A new item, played after (or, with a crossfade, over the end of) what plays. Its id.
    std::uint64_t add(std::unique_ptr<SoundFeed> feed, SoundShape shape);
    // A change of song by hand with a crossfade: what plays fades out over `seconds` (or
    // what is left of it), and the item added next fades in.
    void fadeOutAll(double seconds);
    // Drops every item at once (a stop, a seek, an open that cuts what plays) and starts a
    // new output time line at frame 0.
    void clear();
    // Whether render() gave up since the last call (the output ended its stream then): an
    // item added meanwhile needs the output started anew. Clears the mark.
    bool takeDrained();
    // A new output time line at frame 0, for the items the mixer holds.
    void restartTimeline();
    // Ends a wait for the next item now (before the output is stopped or paused).
    void interrupt();
    // With a ceiling, everything passes a PeakLimiter (a loudness gain may push it over).
    void setLimiter(std::optional<double> ceilingLinear);

    // Fills `out` with up to `frames` frames and returns how many. Fewer when an item is
    // over within the call and the next has not come yet; 0 when nothing more came within
    // the grace: the mixer is drained, and the output ends its stream.
    std::size_t render(float* out, std::size_t frames);

    // Where item `id` is at output frame `frame` (frames since the last clear()): its
    // start while its sound has not been reached, its last mixed position past that.
    // nullopt when the mixer knows nothing of the item.
    std::optional<double> positionAt(std::uint64_t id, std::int64_t frame) const;
    // Frames rendered since the last clear().
    std::int64_t renderedFrames() const;

private:
    struct Source;
    struct Mark {
        std::int64_t outFrame;  // first output frame of the stretch
        std::uint64_t id;       //
        std::int64_t itemFrame; // the item's frame there
        std::int64_t frames;    // length of the stretch
    };
    struct Told {
        std::uint64_t id;
        News news;
        double position;
    };

    bool prepare(Source& s, std::size_t frames);
    bool waitsForDecoder(Source& s, std::chrono::steady_clock::time_point now);
    std::size_t available(const Source& s, std::size_t frames) const;
    void mix(Source& s, float* out, std::size_t frames, std::vector<Told>& told);
    void startNext();
    void tell(std::vector<Told>& told);

    const Listener m_listener;
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<std::unique_ptr<Source>> m_sources;
    std::deque<Mark> m_marks;
    std::uint64_t m_nextId = 1;
    std::int64_t m_outFrame = 0;
    std::optional<std::chrono::steady_clock::time_point> m_awaitUntil;
    bool m_drained = false;
    bool m_interrupted = false;
    double m_pendingFadeIn = 0;
    std::optional<double> m_limiterCeiling;
    std::unique_ptr<PeakLimiter> m_limiter;
};

} // namespace quavix
