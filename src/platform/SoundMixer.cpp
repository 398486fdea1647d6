#include "platform/SoundMixer.h"

#include "platform/Sound.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>

namespace quavix {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t MaxMarks = 512;
// How long the mix waits for a decoder that has nothing ready before it plays silence in
// its place (a stream that stalls): the output asks well ahead of time, but the player's
// thread waits for the mixer meanwhile. A decoder that has some sound ready is not waited
// for: the mix plays that much.
constexpr std::chrono::milliseconds UnderrunWait{60};
// How long the mix sleeps between looks while it waits for a decoder at an item's edge.
constexpr std::chrono::milliseconds PullWait{5};
// How far ahead of the mix a feed is read when the end of an item's sound is found only by
// looking: its last seconds of silence are skipped when they fit.
constexpr std::int64_t EdgeLookahead = std::int64_t{5} * MixRate;

std::int64_t framesOf(double seconds)
{
    return static_cast<std::int64_t>(std::llround(seconds * MixRate));
}

bool loud(const float* frame, double level)
{
    return std::fabs(frame[0]) >= level || std::fabs(frame[1]) >= level;
}

// Four-times interpolation for the true-peak estimate: the three points between the two
// middle ones of PeakLimiter::Taps samples, a Hann-windowed sinc. Eight taps read the hit of
// a drum (noise to 16 kHz) 0.3 dB low; 24 follow what songs hold to within a few hundredths.
struct Interpolator {
    static constexpr int Taps = PeakLimiter::Taps;
    static constexpr int HalfTaps = Taps / 2;
    std::array<std::array<float, Taps>, 3> coefficients{};
    // The most a point can be over the largest of the samples it is made of.
    double overshoot = 1;
    Interpolator()
    {
        for (int phase = 0; phase < 3; ++phase) {
            const double at = HalfTaps - 1 + (phase + 1) / 4.0;
            double sum = 0;
            for (int j = 0; j < Taps; ++j) {
                const double x = at - j;
                const double sinc =
                    x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
                const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (HalfTaps + 0.5));
                const double c = sinc * window;
                coefficients[static_cast<std::size_t>(phase)][static_cast<std::size_t>(j)] =
                    static_cast<float>(c);
                sum += std::fabs(c);
            }
            overshoot = std::max(overshoot, sum);
        }
    }
};

const Interpolator& interpolator()
{
    static const Interpolator i;
    return i;
}

} // namespace

// --- PeakLimiter ---------------------------------------------------------------------------
//
// Frame k comes in; the estimate of frame f = k - (Taps / 2 - 1), the points between it and
// the frame before, is then complete; frame f goes out Lookahead frames later with the
// least gain any frame of its look-ahead needs, averaged over the last Lookahead frames out
// so that the gain moves smoothly, and released slowly: every frame gets at most the gain it
// needs. The estimate is skipped where no sample of its taps is loud enough for any point
// between them to reach the ceiling, and the gain where no frame needs one: most of a song
// costs a copy.

// Meters with other filters read a peak a few hundredths of a dB apart from this estimate:
// the limiter aims a tenth of a dB under its ceiling, so that none of them reads it over.
PeakLimiter::PeakLimiter(double ceilingLinear)
    : m_ceiling(ceilingLinear * 0.98855), m_quiet(m_ceiling / interpolator().overshoot),
      m_history(std::size_t{4} * Taps, 0.0f), m_delay(std::size_t{2} * Lookahead, 0.0f),
      m_box(Lookahead, 1.0)
{
}

double PeakLimiter::truePeak() const
{
    const auto& c = interpolator().coefficients;
    float peak = 0;
    for (int ch = 0; ch < 2; ++ch) {
        const float* h = m_history.data() + std::ptrdiff_t{2} * Taps * ch + m_at; // oldest first
        float y0 = 0, y1 = 0, y2 = 0;
        for (std::size_t j = 0; j < static_cast<std::size_t>(Taps); ++j) {
            y0 += c[0][j] * h[j];
            y1 += c[1][j] * h[j];
            y2 += c[2][j] * h[j];
        }
        peak =
            std::max({peak, std::fabs(h[Taps / 2]), std::fabs(y0), std::fabs(y1), std::fabs(y2)});
    }
    return peak;
}

void PeakLimiter::pushBox(double least)
{
    if (m_boxCount == m_box.size()) {
        const double old = m_box[m_boxAt];
        m_boxSum -= old;
        m_boxBelow -= old < 1.0;
    } else {
        ++m_boxCount;
    }
    m_box[m_boxAt] = least;
    m_boxSum += least;
    m_boxBelow += least < 1.0;
    m_boxAt = (m_boxAt + 1) % m_box.size();
    if (m_boxBelow == 0)
        m_boxSum = static_cast<double>(m_boxCount); // no drift where the gain is whole
}

void PeakLimiter::process(float* samples, std::size_t frames)
{
    static const double release = std::exp(-1.0 / (0.05 * MixRate));
    constexpr std::int64_t Late = Taps / 2 - 1;
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = samples + 2 * i;
        const std::int64_t k = m_in++;
        if (std::fabs(frame[0]) >= m_quiet || std::fabs(frame[1]) >= m_quiet)
            m_lastLoud = k;
        for (int ch = 0; ch < 2; ++ch) {
            float* h = m_history.data() + std::ptrdiff_t{2} * Taps * ch;
            h[m_at] = h[m_at + Taps] = frame[ch];
        }
        m_at = (m_at + 1) % Taps;

        const std::int64_t f = k - Late;
        if (m_lastLoud > k - Taps) {
            const double peak = truePeak();
            if (peak > m_ceiling) {
                const double required = m_ceiling / peak;
                while (!m_windowMins.empty() && m_windowMins.back().second > required)
                    m_windowMins.pop_back();
                m_windowMins.emplace_back(f, required);
            }
        }
        const float* in = m_history.data() + m_at + Taps / 2; // frame f, left; right 2 Taps on
        // Frame f waits in the slot of the frame that goes out now, Lookahead frames before it.
        const std::size_t slot = 2 * static_cast<std::size_t>(k % Lookahead);
        const float outLeft = m_delay[slot], outRight = m_delay[slot + 1];
        m_delay[slot] = in[0];
        m_delay[slot + 1] = in[std::ptrdiff_t{2} * Taps];

        const std::int64_t out = f - Lookahead;
        while (!m_windowMins.empty() && m_windowMins.front().first < out)
            m_windowMins.pop_front();
        if (m_windowMins.empty() && m_boxBelow == 0 && m_gain == 1.0) {
            pushBox(1.0);
            frame[0] = outLeft;
            frame[1] = outRight;
            continue;
        }
        pushBox(m_windowMins.empty() ? 1.0 : m_windowMins.front().second);
        const double smooth = m_boxSum / static_cast<double>(m_boxCount);
        m_gain = std::min(smooth, 1.0 - (1.0 - m_gain) * release);
        if (smooth == 1.0 && 1.0 - m_gain < 1e-6) // whole again: the copy suffices
            m_gain = 1.0;
        frame[0] = static_cast<float>(outLeft * m_gain);
        frame[1] = static_cast<float>(outRight * m_gain);
    }
}

// --- SoundMixer ----------------------------------------------------------------------------

struct SoundMixer::Source {
    enum class State { Queued, Playing, Held, Fading, Done };
    std::uint64_t id = 0;
    std::unique_ptr<SoundFeed> feed;
    SoundShape shape;
    State state = State::Playing;
    std::vector<float> fifo;
    std::size_t head = 0; // sample index of the next frame in fifo
    bool feedEnded = false;
    std::int64_t frame = 0;             // the item's frame at fifo[head]
    std::int64_t endFrame = LLONG_MAX;  // where its sound ends
    std::int64_t overFrame = LLONG_MAX; // where it is over for the next item
    std::int64_t fadeInFrames = 0, fadeInDone = 0;
    std::int64_t fadeOutFrames = 0, fadeOutDone = 0;
    bool edgeTrimmed = false;
    std::int64_t soundUntil = 0; // after the last loud frame read, while its end is looked for
    // While the mix waits for the decoder at an edge: until when.
    std::optional<std::chrono::steady_clock::time_point> waitUntil;
    bool overTold = false;
    std::int64_t quiet = 0; // frames below the dead-air level in a row

    std::int64_t ready() const
    {
        return static_cast<std::int64_t>((fifo.size() - head) / MixChannels);
    }
    bool playable() const { return state == State::Playing || state == State::Fading; }
    // Where its sound ends is found by looking, and not found yet.
    bool endUnknown() const { return shape.trimLevel > 0 && !shape.end && endFrame == LLONG_MAX; }
    bool finished() const { return frame >= endFrame || (feedEnded && ready() == 0); }
    double position() const { return static_cast<double>(frame) / MixRate; }
};

SoundMixer::SoundMixer(Listener listener) : m_listener(std::move(listener)) {}

SoundMixer::~SoundMixer() = default;

std::uint64_t SoundMixer::add(std::unique_ptr<SoundFeed> feed, SoundShape shape)
{
    auto s = std::make_unique<Source>();
    s->feed = std::move(feed);
    s->shape = shape;
    s->frame = framesOf(shape.start);
    s->edgeTrimmed = shape.trimLevel <= 0 || shape.start > 0;
    if (shape.end)
        s->endFrame = std::max(s->frame, framesOf(*shape.end));
    const std::int64_t fade = framesOf(shape.crossfade);
    // A song shorter than two crossfades plays whole.
    const bool longEnough = s->endFrame == LLONG_MAX || s->endFrame - s->frame >= 2 * fade;
    s->overFrame =
        fade > 0 && longEnough && s->endFrame != LLONG_MAX ? s->endFrame - fade : s->endFrame;

    std::lock_guard lock(m_mutex);
    s->id = m_nextId++;
    const std::uint64_t id = s->id;
    auto held = std::find_if(m_sources.begin(), m_sources.end(),
                             [](const auto& o) { return o->state == Source::State::Held; });
    const bool busy = std::any_of(m_sources.begin(), m_sources.end(), [](const auto& o) {
        return o->state == Source::State::Playing || o->state == Source::State::Queued;
    });
    if (held != m_sources.end()) {
        Source& old = **held;
        if (fade > 0 && longEnough) {
            const std::int64_t overlap = std::min(fade, old.endFrame - old.frame);
            old.state = Source::State::Fading;
            old.fadeOutFrames = overlap;
            s->fadeInFrames = overlap;
        } else {
            old.state = Source::State::Playing; // to its end, then the new one
            s->state = Source::State::Queued;
        }
    } else if (m_pendingFadeIn > 0) {
        s->fadeInFrames = framesOf(m_pendingFadeIn);
    } else if (busy) {
        s->state = Source::State::Queued;
    }
    m_pendingFadeIn = 0;
    m_sources.push_back(std::move(s));
    m_awaitUntil.reset();
    m_interrupted = false;
    m_arrived.notify_all();
    return id;
}

void SoundMixer::fadeOutAll(double seconds)
{
    std::lock_guard lock(m_mutex);
    const std::int64_t fade = std::max<std::int64_t>(1, framesOf(seconds));
    for (auto& s : m_sources) {
        if (s->state == Source::State::Queued) {
            s->state = Source::State::Done;
        } else if (s->state == Source::State::Playing || s->state == Source::State::Held) {
            s->state = Source::State::Fading;
            s->fadeOutFrames = std::min(fade, std::max<std::int64_t>(1, s->endFrame - s->frame));
            s->fadeOutDone = 0;
            s->overTold = true; // replaced: nobody waits for its end any more
        }
    }
    m_pendingFadeIn = seconds;
    m_arrived.notify_all();
}

void SoundMixer::clear()
{
    std::lock_guard lock(m_mutex);
    m_sources.clear();
    m_marks.clear();
    m_outFrame = 0;
    m_drained = false;
    m_awaitUntil.reset();
    m_interrupted = false;
    m_pendingFadeIn = 0;
    if (m_limiterCeiling)
        m_limiter = std::make_unique<PeakLimiter>(*m_limiterCeiling); // nothing held back
    m_arrived.notify_all();
}

bool SoundMixer::takeDrained()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_drained, false);
}

void SoundMixer::restartTimeline()
{
    std::lock_guard lock(m_mutex);
    m_marks.clear();
    m_outFrame = 0;
    if (m_limiterCeiling)
        m_limiter = std::make_unique<PeakLimiter>(*m_limiterCeiling);
}

void SoundMixer::interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    m_arrived.notify_all();
}

void SoundMixer::setLimiter(std::optional<double> ceilingLinear)
{
    std::lock_guard lock(m_mutex);
    m_limiterCeiling = ceilingLinear;
    if (ceilingLinear)
        m_limiter = std::make_unique<PeakLimiter>(*ceilingLinear);
    else
        m_limiter.reset();
}

void SoundMixer::startNext()
{
    const bool active = std::any_of(m_sources.begin(), m_sources.end(), [](const auto& s) {
        return s->playable() || s->state == Source::State::Held;
    });
    if (active)
        return;
    for (auto& s : m_sources)
        if (s->state == Source::State::Queued) {
            s->state = Source::State::Playing;
            return;
        }
}

// Reads the feed far enough for `frames` frames (and for the edges' look-ahead), skips a
// silent start, and finds a silent end. False once the item has nothing more to play.
bool SoundMixer::prepare(Source& s, std::size_t frames)
{
    const bool lookForEnd = s.shape.trimLevel > 0 && !s.shape.end;
    const std::int64_t want =
        static_cast<std::int64_t>(frames) + (lookForEnd || !s.edgeTrimmed ? EdgeLookahead : 0);
    while (!s.feedEnded && s.ready() < want) {
        if (s.head > 0 && s.head * 2 >= s.fifo.size()) {
            s.fifo.erase(s.fifo.begin(), s.fifo.begin() + static_cast<std::ptrdiff_t>(s.head));
            s.head = 0;
        }
        const std::size_t before = s.fifo.size();
        if (!s.feed->pull(s.fifo, s.ready() > 0 ? std::chrono::milliseconds(0) : UnderrunWait))
            s.feedEnded = true;
        if (lookForEnd)
            for (std::size_t at = before; at < s.fifo.size(); at += MixChannels)
                if (loud(s.fifo.data() + at, s.shape.trimLevel))
                    s.soundUntil =
                        s.frame + static_cast<std::int64_t>((at - s.head) / MixChannels) + 1;
        if (s.fifo.size() == before && !s.feedEnded)
            break; // nothing more now: the look-ahead waits, an underrun plays silence
    }
    if (!s.edgeTrimmed) {
        // The song starts at its first sound.
        while (s.ready() > 0 && s.frame < s.endFrame &&
               !loud(s.fifo.data() + s.head, s.shape.trimLevel)) {
            s.head += MixChannels;
            ++s.frame;
        }
        if (s.ready() > 0 || s.feedEnded)
            s.edgeTrimmed = true;
        else
            return !s.finished(); // all silent so far: more next time
    }
    if (lookForEnd && s.feedEnded && s.endFrame == LLONG_MAX) {
        // The whole rest is read: the sound ends after its last loud frame.
        std::int64_t last = s.ready();
        while (last > 0 &&
               !loud(s.fifo.data() + s.head + (last - 1) * MixChannels, s.shape.trimLevel))
            --last;
        s.endFrame = s.frame + last;
        if (s.overFrame == LLONG_MAX)
            s.overFrame = s.endFrame;
    }
    return !s.finished();
}

// Whether the mix waits for the decoder of `s` now. Its decoder runs ahead of the sound,
// but seconds of silence at an edge take it a moment: rather than fill in silence that is to
// be skipped, or play what may be the silence after the last sound, the mix waits for the
// first sound, the next loud frame or the end, for as long as the output's look-ahead lasts.
bool SoundMixer::waitsForDecoder(Source& s, Clock::time_point now)
{
    const bool start = !s.edgeTrimmed && s.ready() == 0;
    const bool end = s.endUnknown() && s.frame >= s.soundUntil && s.ready() < EdgeLookahead;
    if (s.feedEnded || m_interrupted || !(start || end)) {
        s.waitUntil.reset();
        return false;
    }
    if (!s.waitUntil)
        s.waitUntil = now + Grace;
    return now < *s.waitUntil;
}

// Frames of `s` that can be mixed before something happens to it (its end, the point where
// the next item is due, the end of its fade), and no more than its decoder has ready. One
// the decoder has nothing for at all (a stream that stalls) still counts in full: the mix
// plays silence for it.
std::size_t SoundMixer::available(const Source& s, std::size_t frames) const
{
    std::int64_t n = static_cast<std::int64_t>(frames);
    if (s.feedEnded || s.ready() > 0)
        n = std::min(n, s.ready());
    n = std::min(n, s.endFrame - s.frame);
    if (s.endUnknown() && !s.feedEnded && s.frame < s.soundUntil)
        n = std::min(n, s.soundUntil - s.frame); // what follows may be the silence at its end
    if (s.state == Source::State::Playing && !s.overTold)
        n = std::min(n, s.overFrame - s.frame);
    if (s.state == Source::State::Fading)
        n = std::min(n, s.fadeOutFrames - s.fadeOutDone);
    if (s.shape.deadAir > 0 && n > 0) {
        // Up to the frame where its silence becomes dead air (mix ends it there): the next
        // item then follows in the very next piece, not after silence filling this one.
        const std::int64_t deadAirFrames = framesOf(s.shape.deadAir);
        std::int64_t quiet = s.quiet;
        const float* f = s.fifo.data() + s.head;
        for (std::int64_t i = 0; i < std::min(n, s.ready()); ++i, f += MixChannels) {
            quiet = loud(f, s.shape.deadAirLevel) ? 0 : quiet + 1;
            if (quiet >= deadAirFrames) {
                n = i + 1;
                break;
            }
        }
    }
    return static_cast<std::size_t>(std::max<std::int64_t>(n, 0));
}

void SoundMixer::mix(Source& s, float* out, std::size_t frames, std::vector<Told>& told)
{
    const std::size_t present = std::min<std::size_t>(frames, static_cast<std::size_t>(s.ready()));
    const float* in = s.fifo.data() + s.head;
    const bool fading = s.fadeInDone < s.fadeInFrames || s.state == Source::State::Fading;
    const bool watch = s.shape.deadAir > 0;
    std::size_t mixed = present;
    if (!fading && !watch && s.shape.gain == 1.0) {
        for (std::size_t i = 0; i < present * MixChannels; ++i)
            out[i] += in[i];
    } else {
        const auto deadAirFrames = framesOf(s.shape.deadAir);
        for (std::size_t i = 0; i < present; ++i) {
            const float* f = in + i * MixChannels;
            if (watch) {
                s.quiet = loud(f, s.shape.deadAirLevel) ? 0 : s.quiet + 1;
                if (s.quiet >= deadAirFrames) {
                    const std::int64_t at = s.frame + static_cast<std::int64_t>(i);
                    told.push_back(
                        {s.id, News::DeadAir, static_cast<double>(at - s.quiet + 1) / MixRate});
                    mixed = i;
                    s.endFrame = at; // ended here
                    break;
                }
            }
            double g = s.shape.gain;
            if (s.fadeInDone + static_cast<std::int64_t>(i) < s.fadeInFrames)
                g *= fadeInGain(static_cast<double>(s.fadeInDone + static_cast<std::int64_t>(i)) /
                                static_cast<double>(s.fadeInFrames));
            if (s.state == Source::State::Fading)
                g *= fadeOutGain(static_cast<double>(s.fadeOutDone + static_cast<std::int64_t>(i)) /
                                 static_cast<double>(s.fadeOutFrames));
            out[i * 2] += static_cast<float>(f[0] * g);
            out[i * 2 + 1] += static_cast<float>(f[1] * g);
        }
    }
    s.head += mixed * MixChannels;
    s.frame += static_cast<std::int64_t>(mixed);
    s.fadeInDone += static_cast<std::int64_t>(frames);
    if (s.state == Source::State::Fading)
        s.fadeOutDone += static_cast<std::int64_t>(frames);
}

std::size_t SoundMixer::render(float* out, std::size_t frames)
{
    std::vector<Told> told;
    std::size_t done = 0;
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            auto now = Clock::now();
            // What has ended is told and dropped.
            for (auto& s : m_sources) {
                if (s->playable() && s->finished()) {
                    if (!s->overTold) {
                        s->overTold = true;
                        told.push_back({s->id, News::Over, s->position()});
                        m_awaitUntil = now + Grace;
                    }
                    s->state = Source::State::Done;
                }
            }
            std::erase_if(m_sources, [](const auto& s) { return s->state == Source::State::Done; });
            startNext();
            const bool anyPlayable = std::any_of(m_sources.begin(), m_sources.end(),
                                                 [](const auto& s) { return s->playable(); });
            if (!anyPlayable) {
                if (!told.empty()) {
                    // Whoever waits for the news may answer with the next item: told before
                    // the wait for it.
                    lock.unlock();
                    tell(told);
                    lock.lock();
                    continue;
                }
                if (m_awaitUntil && now < *m_awaitUntil && !m_interrupted) {
                    m_arrived.wait_until(lock, *m_awaitUntil);
                    continue;
                }
                m_awaitUntil.reset();
                auto held = std::find_if(m_sources.begin(), m_sources.end(), [](const auto& s) {
                    return s->state == Source::State::Held;
                });
                if (held != m_sources.end()) {
                    (*held)->state = Source::State::Playing; // no next: its end unfaded
                    continue;
                }
                // Nothing more to play: the output ends its stream, and a next item starts
                // a new one (see takeDrained).
                m_drained = true;
                done = 0;
                break;
            }

            std::size_t n = frames;
            bool ended = false, looking = false;
            for (auto& s : m_sources)
                if (s->playable()) {
                    if (!prepare(*s, frames)) {
                        ended = true;
                        continue;
                    }
                    looking = waitsForDecoder(*s, now) || looking;
                    n = std::min(n, available(*s, frames));
                }
            if (ended)
                continue; // told and dropped first; the next may follow at once
            if (looking) {
                m_arrived.wait_for(lock, PullWait);
                continue;
            }
            if (n == 0) {
                // Something happens right here: a song reached the point where the next
                // is due.
                for (auto& s : m_sources)
                    if (s->state == Source::State::Playing && !s->overTold &&
                        s->frame >= s->overFrame) {
                        s->overTold = true;
                        s->state = Source::State::Held;
                        told.push_back({s->id, News::Over, s->position()});
                        m_awaitUntil = now + Grace;
                    }
                for (auto& s : m_sources)
                    if (s->state == Source::State::Fading && s->fadeOutDone >= s->fadeOutFrames)
                        s->state = Source::State::Done;
                continue;
            }

            std::fill(out, out + n * MixChannels, 0.0f);
            const std::int64_t delay = m_limiter ? PeakLimiter::Delay : 0;
            for (auto& s : m_sources)
                if (s->playable()) {
                    const std::int64_t from = s->frame;
                    mix(*s, out, n, told);
                    // A song ended by dead air is told over by the next call.
                    m_marks.push_back({m_outFrame + delay, s->id, from, s->frame - from});
                }
            while (m_marks.size() > MaxMarks)
                m_marks.pop_front();
            m_outFrame += static_cast<std::int64_t>(n);
            done = n;
            break;
        }
        if (m_limiter && done > 0)
            m_limiter->process(out, done);
    }
    tell(told);
    return done;
}

void SoundMixer::tell(std::vector<Told>& told)
{
    for (const Told& t : told)
        if (m_listener)
            m_listener(t.id, t.news, t.position);
    told.clear();
}

std::optional<double> SoundMixer::positionAt(std::uint64_t id, std::int64_t frame) const
{
    std::lock_guard lock(m_mutex);
    const Mark* earliest = nullptr;
    for (auto it = m_marks.rbegin(); it != m_marks.rend(); ++it) {
        if (it->id != id)
            continue;
        earliest = &*it;
        if (it->outFrame <= frame) {
            const std::int64_t into = std::min(frame - it->outFrame, it->frames);
            return static_cast<double>(it->itemFrame + into) / MixRate;
        }
    }
    if (earliest)
        return static_cast<double>(earliest->itemFrame) / MixRate;
    for (const auto& s : m_sources)
        if (s->id == id)
            return s->position();
    return std::nullopt;
}

std::int64_t SoundMixer::renderedFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_outFrame;
}

} // namespace quavix
