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
// How far ahead of the mix a feed is read when the end of an item's sound is found only by
// looking: its last seconds of silence are skipped when they fit.
constexpr std::int64_t EdgeLookahead = 5 * MixRate;

std::int64_t framesOf(double seconds)
{
    return static_cast<std::int64_t>(std::llround(seconds * MixRate));
}

bool loud(const float* frame, double level)
{
    return std::fabs(frame[0]) >= level || std::fabs(frame[1]) >= level;
}

// Four-times interpolation for the true-peak estimate: the three points between two samples
// from eight neighbours, a Hann-windowed sinc.
struct Interpolator {
    static constexpr int Taps = 8;
    std::array<std::array<double, Taps>, 3> coefficients{};
    Interpolator()
    {
        for (int phase = 0; phase < 3; ++phase) {
            const double at = 3 + (phase + 1) / 4.0; // between tap 3 and tap 4
            for (int j = 0; j < Taps; ++j) {
                const double x = at - j;
                const double sinc =
                    x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
                const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / 4.5);
                coefficients[static_cast<std::size_t>(phase)][static_cast<std::size_t>(j)] =
                    sinc * window;
            }
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

PeakLimiter::PeakLimiter(double ceilingLinear)
    : m_ceiling(ceilingLinear), m_history(2 * Interpolator::Taps, 0.0f)
{
}

double PeakLimiter::truePeak(float left, float right)
{
    const auto& c = interpolator().coefficients;
    double peak = 0;
    for (int ch = 0; ch < 2; ++ch) {
        float* h = m_history.data() + ch * Interpolator::Taps;
        std::copy(h + 1, h + Interpolator::Taps, h);
        h[Interpolator::Taps - 1] = ch == 0 ? left : right;
        peak = std::max(peak, static_cast<double>(std::fabs(h[4])));
        for (const auto& phase : c) {
            double y = 0;
            for (int j = 0; j < Interpolator::Taps; ++j)
                y += phase[static_cast<std::size_t>(j)] * h[j];
            peak = std::max(peak, std::fabs(y));
        }
    }
    return peak;
}

void PeakLimiter::process(float* samples, std::size_t frames)
{
    // The estimate of a frame is ready three frames after it came in; the sound waits as long
    // and then another Lookahead frames, over which the gain comes down ahead of a peak.
    static const double release = std::exp(-1.0 / (0.05 * MixRate));
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = samples + 2 * i;
        const double peak = truePeak(frame[0], frame[1]);
        // The estimate belongs to the frame that entered three frames ago (history tap 4).
        const float* h = m_history.data();
        m_delay.push_back(h[4]);
        m_delay.push_back(h[Interpolator::Taps + 4]);
        const double required = peak > m_ceiling ? m_ceiling / peak : 1.0;
        const std::int64_t index = m_in++;
        while (!m_windowMins.empty() && m_windowMins.back().second > required)
            m_windowMins.pop_back();
        m_windowMins.emplace_back(index, required);

        float outLeft = 0, outRight = 0; // while filling: the silence before the delayed sound
        const std::int64_t oldest = index - Lookahead;
        if (oldest >= 0) {
            // The oldest waiting frame's gain: the least any frame of its look-ahead needs,
            // averaged over the frames before it so that the gain moves smoothly. Every
            // frame then gets at most the gain it needs.
            while (m_windowMins.front().first < oldest)
                m_windowMins.pop_front();
            const double least = m_windowMins.front().second;
            m_boxValues.push_back(least);
            m_boxSum += least;
            if (m_boxValues.size() > static_cast<std::size_t>(Lookahead)) {
                m_boxSum -= m_boxValues.front();
                m_boxValues.pop_front();
            }
            const double smooth = m_boxSum / static_cast<double>(m_boxValues.size());
            m_gain = std::min(smooth, 1.0 - (1.0 - m_gain) * release);
            outLeft = static_cast<float>(m_delay[0] * m_gain);
            outRight = static_cast<float>(m_delay[1] * m_gain);
            m_delay.pop_front();
            m_delay.pop_front();
        }
        frame[0] = outLeft;
        frame[1] = outRight;
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
    bool overTold = false;
    std::int64_t quiet = 0; // frames below the dead-air level in a row

    std::int64_t ready() const
    {
        return static_cast<std::int64_t>((fifo.size() - head) / MixChannels);
    }
    bool playable() const { return state == State::Playing || state == State::Fading; }
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
    if (s.state == Source::State::Playing && !s.overTold)
        n = std::min(n, s.overFrame - s.frame);
    if (s.state == Source::State::Fading)
        n = std::min(n, s.fadeOutFrames - s.fadeOutDone);
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
            bool ended = false;
            for (auto& s : m_sources)
                if (s->playable()) {
                    if (!prepare(*s, frames)) {
                        ended = true;
                        continue;
                    }
                    n = std::min(n, available(*s, frames));
                }
            if (ended)
                continue; // told and dropped first; the next may follow at once
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
