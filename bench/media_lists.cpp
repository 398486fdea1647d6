// Opening a list of 10,000 entries as the player does, PLS and M3U: the file read and
// recognised, then expanded into entries (relative names resolved, titles taken).
#include "platform/MediaLists.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t Entries = quavix::MaxListEntries;
bool failed = false;

// A station directory: mirrors with titles and lengths, as such files come.
void writePls(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "[playlist]\r\nNumberOfEntries=" << Entries << "\r\n";
    for (std::size_t i = 1; i <= Entries; ++i)
        out << "File" << i << "=http://s" << i % 50 << ".example.net:8000/" << i << "\r\nTitle" << i
            << "=(#" << i << ") Station " << i << "\r\nLength" << i << "=-1\r\n";
    out << "Version=2\r\n";
}

// A music folder's list: names relative to the list, each with its extended information.
void writeM3u(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "#EXTM3U\r\n";
    for (std::size_t i = 0; i < Entries; ++i)
        out << "#EXTINF:245,Group " << i % 997 << " - Song Number " << i << "\r\nMusic/Group "
            << i % 997 << "/Song Number " << i << " - 4_05.mp3\r\n";
}

void openList(benchmark::State& state, const std::string& path, quavix::ListFormat expected)
{
    for (auto _ : state) {
        quavix::LocalList file = quavix::readLocalList(path);
        quavix::ListContents list = quavix::parseList(file.content, file.format, path);
        if (file.format != expected || list.entries.size() != Entries) {
            std::fprintf(stderr, "%s: %zu entries (%s%s)\n", path.c_str(), list.entries.size(),
                         file.problem.c_str(), list.problem.c_str());
            failed = true;
            state.SkipWithError("the list did not open whole");
            break;
        }
        benchmark::DoNotOptimize(list);
    }
}

// Keeps each benchmark's median as its result, besides the usual table.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // Without colours: their escape codes would stick to the RESULT line that follows.
    MedianReporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> medians;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quavix-bench-lists-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string pls = (dir / "stations.pls").string();
    const std::string m3u = (dir / "music.m3u").string();
    writePls(pls);
    writeM3u(m3u);

    const std::pair<const char*, std::pair<std::string, quavix::ListFormat>> lists[] = {
        {"lists_open_pls_10k", {pls, quavix::ListFormat::Pls}},
        {"lists_open_m3u_10k", {m3u, quavix::ListFormat::M3u}},
    };
    for (const auto& [name, list] : lists)
        benchmark::RegisterBenchmark(name, openList, list.first, list.second)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(dir);

    for (const auto& [name, list] : lists)
        if (reporter.medians.count(name))
            std::printf("RESULT %s %.2f ms\n", name, reporter.medians[name]);
    return failed || reporter.medians.size() != std::size(lists) ? 1 : 0;
}
