// The mixer between the decoders and the output: songs follow each other without a gap,
// each with its own gain from its first sample, overlap by a crossfade, lose the silence at
// their edges, end on dead air; the limiter holds the true peak; the profile's [Sound].
#include "platform/Sound.h"
#include "platform/SoundMixer.h"
#include "platform/posix/IniProfile.h"
#include "support/Rig.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <random>
#include <thread>

using quavix::MixRate;
using quavix::SoundMixer;
using quavix::SoundShape;

namespace {

// An item of known frames, handed over in decoder-sized pieces: all there at once, or as a
// decoder makes them, `speed` times faster than they play from the first pull on.
class Feed : public quavix::SoundFeed {
public:
    explicit Feed(std::vector<float> samples, double speed = 0)
        : m_samples(std::move(samples)), m_speed(speed)
    {
    }
    bool pull(std::vector<float>& out, std::chrono::milliseconds wait) override
    {
        using Clock = std::chrono::steady_clock;
        if (!m_started)
            m_started = Clock::now();
        auto decoded = [&] {
            if (m_speed <= 0)
                return m_samples.size();
            const double played = std::chrono::duration<double>(Clock::now() - *m_started).count();
            return std::min(m_samples.size(),
                            2 * static_cast<std::size_t>(played * m_speed * MixRate));
        };
        if (decoded() <= m_at)
            std::this_thread::sleep_for(wait);
        const std::size_t n = std::min<std::size_t>(2304, std::max(decoded(), m_at) - m_at);
        out.insert(out.end(), m_samples.begin() + static_cast<std::ptrdiff_t>(m_at),
                   m_samples.begin() + static_cast<std::ptrdiff_t>(m_at + n));
        m_at += n;
        return m_at < m_samples.size();
    }

private:
    std::vector<float> m_samples;
    double m_speed;
    std::optional<std::chrono::steady_clock::time_point> m_started;
    std::size_t m_at = 0;
};

// Seconds of a stereo sine (frequency 0: a constant), `silentFrom`..`silentTo` silent.
std::vector<float> tone(double seconds, double amplitude, double frequency = 0,
                        double silentFrom = -1, double silentTo = -1)
{
    const auto frames = static_cast<std::size_t>(seconds * MixRate);
    std::vector<float> s(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / MixRate;
        double v =
            frequency > 0 ? amplitude * std::sin(2 * std::numbers::pi * frequency * t) : amplitude;
        if (t >= silentFrom && t < silentTo)
            v = 0;
        s[2 * i] = s[2 * i + 1] = static_cast<float>(v);
    }
    return s;
}

struct News {
    std::uint64_t item;
    SoundMixer::News news;
    double position;
    std::size_t atFrame; // output frames rendered when it was told
};

// A mixer driven as the output drives it, with a player that opens the next item the moment
// the last one is over.
struct Rig {
    std::vector<News> news;
    std::vector<float> out;
    struct Next {
        std::vector<float> samples;
        SoundShape shape;
        double speed = 0;
    };
    std::vector<Next> next; // opened in turn on Over
    SoundMixer mixer{[this](std::uint64_t item, SoundMixer::News n, double position) {
        news.push_back({item, n, position, out.size() / 2});
        if (n == SoundMixer::News::Over && !next.empty()) {
            Next entry = std::move(next.front());
            next.erase(next.begin());
            mixer.add(std::make_unique<Feed>(std::move(entry.samples), entry.speed), entry.shape);
        }
    }};
    std::uint64_t add(std::vector<float> samples, SoundShape shape = {}, double speed = 0)
    {
        return mixer.add(std::make_unique<Feed>(std::move(samples), speed), shape);
    }
    // Renders until `seconds` of output exist or the mixer goes quiet.
    void run(double seconds)
    {
        std::vector<float> chunk(1024 * 2);
        while (out.size() < seconds * MixRate * 2) {
            const std::size_t n = mixer.render(chunk.data(), 1024);
            if (n == 0)
                break;
            out.insert(out.end(), chunk.begin(),
                       chunk.begin() + static_cast<std::ptrdiff_t>(n * 2));
        }
    }
    double at(double seconds) const { return out[static_cast<std::size_t>(seconds * MixRate) * 2]; }
    std::vector<News> told(SoundMixer::News kind) const
    {
        std::vector<News> r;
        for (const auto& n : news)
            if (n.news == kind)
                r.push_back(n);
        return r;
    }
};

} // namespace

TEST(SoundMixer, SongsFollowEachOtherWithoutAGapEachWithItsOwnGainFromItsFirstSample)
{
    Rig r;
    SoundShape loud;
    loud.gain = 2.0;
    r.next.push_back({tone(0.5, 0.25), loud});
    r.add(tone(1.0, 0.1));
    r.run(1.6);
    ASSERT_EQ(r.told(SoundMixer::News::Over).size(), 2u);
    // Every frame of both, then silence: the first item's last frame is 0.1, the very
    // next one 0.5.
    const std::size_t change = MixRate;
    EXPECT_FLOAT_EQ(r.out[(change - 1) * 2], 0.1f);
    EXPECT_FLOAT_EQ(r.out[change * 2], 0.5f);
    EXPECT_FLOAT_EQ(r.out[(change + MixRate / 2 - 1) * 2], 0.5f);
    EXPECT_FLOAT_EQ(r.at(1.55), 0.0f);
    // Over is told when the last frame was mixed, at the item's end.
    EXPECT_NEAR(r.told(SoundMixer::News::Over)[0].position, 1.0, 1e-9);
    // Positions follow the output: the second item at 0.25 s into it.
    const auto second = r.told(SoundMixer::News::Over)[1].item;
    EXPECT_NEAR(*r.mixer.positionAt(second, MixRate + MixRate / 4), 0.25, 1e-6);
    EXPECT_NEAR(*r.mixer.positionAt(second, MixRate / 2), 0.0, 1e-6); // not heard yet
}

TEST(SoundMixer, WithoutANextItemWithinTheGraceTheMixerDrainsAndANewItemStartsAgain)
{
    Rig r;
    r.add(tone(0.2, 0.3));
    r.run(10); // nobody opens a next item: after the grace, nothing more
    EXPECT_EQ(r.out.size() / 2, static_cast<std::size_t>(0.2 * MixRate));
    EXPECT_TRUE(r.mixer.takeDrained());
    EXPECT_FALSE(r.mixer.takeDrained());
    // A new item plays from the next render on, on a new time line.
    r.out.clear();
    const auto id = r.add(tone(0.1, 0.4));
    r.mixer.restartTimeline();
    r.run(0.05);
    EXPECT_FLOAT_EQ(r.out[0], 0.4f);
    EXPECT_NEAR(*r.mixer.positionAt(id, MixRate / 100), 0.01, 1e-6);
}

TEST(SoundMixer, ACrossfadeOverlapsWithEqualPowerAndTellsTheSongOverWhenItsFadeBegins)
{
    Rig r;
    SoundShape shape;
    shape.crossfade = 3;
    shape.end = 10.0;
    SoundShape nextShape = shape;
    nextShape.end = 8.0;
    r.next.push_back({tone(8, 0.5, 660), nextShape});
    r.add(tone(10, 0.5, 440), shape);
    r.run(15.5);
    const auto over = r.told(SoundMixer::News::Over);
    ASSERT_GE(over.size(), 2u);
    EXPECT_NEAR(over[0].position, 7.0, 1e-6);
    EXPECT_EQ(over[0].atFrame, static_cast<std::size_t>(7 * MixRate));
    // The next one starts at 7 s and ends 8 s later; the two overlap for 3 s and the sum
    // never dips: the power of 100 ms windows stays that of one song (0.125).
    for (double t = 6.5; t < 14.9; t += 0.1) {
        double power = 0;
        const auto from = static_cast<std::size_t>(t * MixRate);
        for (std::size_t i = from; i < from + MixRate / 10; ++i)
            power += r.out[2 * i] * r.out[2 * i];
        power /= MixRate / 10.0;
        ASSERT_NEAR(10 * std::log10(power / 0.125), 0.0, 0.5) << "at " << t << " s";
    }
    EXPECT_FLOAT_EQ(r.at(15.2), 0.0f);
}

TEST(SoundMixer, ShortSongsAreNotOverlappedAndAFadeByHandAlsoFades)
{
    Rig r;
    SoundShape shape;
    shape.crossfade = 3;
    shape.end = 5.0; // shorter than two crossfades: whole, and the next after it
    r.next.push_back({tone(1, 0.25), SoundShape{}});
    r.add(tone(5, 0.5), shape);
    r.run(6.5);
    EXPECT_NEAR(r.told(SoundMixer::News::Over)[0].position, 5.0, 1e-6);
    EXPECT_FLOAT_EQ(r.at(4.99), 0.5f);
    EXPECT_FLOAT_EQ(r.at(5.01), 0.25f);

    Rig hand;
    hand.add(tone(20, 0.5));
    hand.run(1);
    hand.mixer.fadeOutAll(2);
    hand.add(tone(20, 0.5));
    hand.run(4);
    EXPECT_NEAR(hand.at(1.0 + 1.0),
                0.5 * (std::cos(std::numbers::pi / 4) + std::sin(std::numbers::pi / 4)), 1e-3);
    EXPECT_FLOAT_EQ(hand.at(3.5), 0.5f);                    // the old one gone, the new one whole
    EXPECT_TRUE(hand.told(SoundMixer::News::Over).empty()); // nobody waits for a replaced one
}

TEST(SoundMixer, SilenceAtTheEdgesIsSkippedAndSilenceInsideIsKept)
{
    Rig r;
    SoundShape shape;
    shape.trimLevel = quavix::linearFromDb(-50);
    r.next.push_back({tone(1, 0.25), SoundShape{}});
    // 2 s of silence, 1 s of sound with 0.5 s of silence inside, 2 s of silence.
    std::vector<float> padded = tone(5, 0.5, 0, 0, 2);
    for (std::size_t i = static_cast<std::size_t>(3 * MixRate) * 2; i < padded.size(); ++i)
        padded[i] = 0;
    for (std::size_t i = static_cast<std::size_t>(2.25 * MixRate) * 2;
         i < static_cast<std::size_t>(2.75 * MixRate) * 2; ++i)
        padded[i] = 0;
    r.add(padded, shape);
    r.run(2.5);
    EXPECT_FLOAT_EQ(r.out[0], 0.5f);  // at its first sound
    EXPECT_FLOAT_EQ(r.at(0.5), 0.0f); // the silence inside
    EXPECT_FLOAT_EQ(r.at(0.9), 0.5f);
    const auto over = r.told(SoundMixer::News::Over);
    ASSERT_FALSE(over.empty());
    EXPECT_NEAR(over[0].position, 3.0, 1e-6); // its last sound
    EXPECT_FLOAT_EQ(r.at(1.01), 0.25f);       // the next song right after it

    // The same from decoders that run ahead of the sound but need a moment for the silence
    // (20 ms for 2 s): the mixer waits for each song's first sound rather than fill in.
    Rig paced;
    std::vector<float> next = tone(3, 0.25, 0, 0, 1);
    std::fill(next.begin() + 2 * 2 * MixRate, next.end(), 0.0f);
    paced.next.push_back({next, shape, 100});
    paced.add(padded, shape, 100);
    paced.run(2.5);
    ASSERT_GE(paced.out.size(), 2u * 2 * MixRate);
    EXPECT_FLOAT_EQ(paced.out[0], 0.5f);
    EXPECT_FLOAT_EQ(paced.at(1.01), 0.25f);
    EXPECT_EQ(std::count(paced.out.begin(), paced.out.begin() + 2 * 2 * MixRate, 0.0f),
              2 * MixRate / 2); // the silence inside, and only that
}

TEST(SoundMixer, DeadAirEndsASongAfterItsSecondsOfSilence)
{
    Rig r;
    SoundShape shape;
    shape.deadAir = 5;
    r.next.push_back({tone(1, 0.25), SoundShape{}});
    r.add(tone(20, 0.5, 0, 3, 20), shape); // silent from its third second
    r.run(9.5);
    const auto dead = r.told(SoundMixer::News::DeadAir);
    ASSERT_EQ(dead.size(), 1u);
    EXPECT_NEAR(dead[0].position, 3.0, 1e-6);
    const auto over = r.told(SoundMixer::News::Over);
    ASSERT_FALSE(over.empty());
    EXPECT_NEAR(over[0].position, 8.0, 0.03);
    // The next song follows at once, not after the rest of the piece being rendered.
    std::size_t next = 3 * MixRate;
    while (next * 2 < r.out.size() && r.out[next * 2] == 0.0f)
        ++next;
    EXPECT_NEAR(static_cast<double>(next), 8.0 * MixRate, 1.0);
    EXPECT_FLOAT_EQ(r.at(8.1), 0.25f);
}

TEST(PeakLimiter, KeepsTheTruePeakUnderItsCeilingAndLeavesQuietSoundAlone)
{
    const double ceiling = quavix::linearFromDb(-1);
    quavix::PeakLimiter limiter(ceiling);
    // A quiet second, then a loud one whose samples fall between the peaks of a 11 kHz sine,
    // then hits of noise band-limited to 16 kHz (a drum's, as mastered) 5 dB over the ceiling.
    std::vector<float> s = tone(1, 0.5, 1000);
    const std::vector<float> loud = tone(1, 1.6, 11025.0 / 2 + 7);
    s.insert(s.end(), loud.begin(), loud.end());
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<double> white(MixRate / 2);
    for (double& v : white)
        v = noise(random);
    constexpr int Half = 31; // a windowed sinc low-pass at 16 kHz
    for (std::size_t i = Half; i + Half < white.size(); ++i) {
        double v = 0;
        for (int j = -Half; j <= Half; ++j) {
            const double x = 2.0 * 16000 / MixRate * j;
            v += white[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + j)] * 2.0 * 16000 /
                 MixRate * (j == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x)) *
                 (0.5 + 0.5 * std::cos(std::numbers::pi * j / (Half + 1)));
        }
        const bool hit = i % (MixRate / 10) < MixRate / 1000;
        s.push_back(static_cast<float>(v * (hit ? 1.5 : 0.1)));
        s.push_back(static_cast<float>(v * (hit ? 1.5 : 0.1)));
    }
    std::vector<float> out = s;
    for (std::size_t at = 0; at < out.size() / 2; at += 1024)
        limiter.process(out.data() + 2 * at, std::min<std::size_t>(1024, out.size() / 2 - at));
    const std::size_t delay = quavix::PeakLimiter::Delay;
    for (std::size_t i = 0; i < MixRate - 2 * delay; ++i) // untouched: the same samples, later
        ASSERT_EQ(out[2 * (i + delay)], s[2 * i]) << i;
    // The output's true peak, estimated at four times the rate with a far longer filter than
    // the limiter's own.
    auto truePeak = [](const std::vector<float>& v, std::size_t from) {
        constexpr int Taps = 48;
        double peak = 0;
        for (std::size_t i = from + Taps; i + Taps < v.size() / 2; ++i)
            for (double frac : {0.0, 0.25, 0.5, 0.75}) {
                double y = 0;
                for (int j = -Taps + 1; j <= Taps; ++j) {
                    const double x = frac - j;
                    const double sinc =
                        x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
                    const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (Taps + 0.5));
                    y += v[2 * static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + j)] *
                         sinc * window;
                }
                peak = std::max(peak, std::fabs(y));
            }
        return quavix::dbFromLinear(peak);
    };
    ASSERT_GT(truePeak(s, 2 * MixRate), 4.0); // the hits go well over
    EXPECT_LE(truePeak(out, MixRate), -1.0);
    EXPECT_GT(truePeak(out, MixRate), -3.0); // limited, not silenced
}

TEST(SoundSettings, ReadsEachKeyAndLeavesWhatCannotBeUsedOff)
{
    quavix::testing::Sandbox box;
    quavix::IniProfile profile(box.write(
        "station.ini", "[Sound]\nLoudness=-16\nCrossfade=3\nTrimSilence=-50\nDeadAir=10\n"));
    std::vector<std::string> problems;
    auto s = quavix::readSoundSettings(profile, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(s.loudness, -16);
    EXPECT_EQ(s.crossfade, 3);
    EXPECT_EQ(s.trimSilence, -50);
    EXPECT_EQ(s.deadAir, 10);

    quavix::IniProfile bad(box.write(
        "bad.ini", "[sound]\nloudness=Off\nCrossfade=11\nTrimSilence=loud\nDeadAir=-1\n"));
    problems.clear();
    s = quavix::readSoundSettings(bad, problems);
    EXPECT_FALSE(s.any());
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("Crossfade \"11\""), std::string::npos) << problems[0];

    EXPECT_NEAR(quavix::loudnessGainDb(-16, -30.0, std::nullopt), 14, 1e-9);
    EXPECT_NEAR(quavix::loudnessGainDb(-16, std::nullopt, -4.0), -2, 1e-9); // ReplayGain
    EXPECT_EQ(quavix::loudnessGainDb(-16, -HUGE_VAL, 3.0), 0);              // silence
    EXPECT_EQ(quavix::loudnessGainDb(-16, std::nullopt, std::nullopt), 0);
}
