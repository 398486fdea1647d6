// The play-list readers on any file: the streamed reader the player uses, its index and
// the editor's readers agree, and what the editor reads it writes back unchanged.
#include "FuzzInput.h"
#include "engine/PlayListReader.h"
#include "playlist/PlayListFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace quavix;

namespace {
// A folder of the run's own, removed at exit (a plain array: no destructor runs before).
char scratch[64];

std::string scratchFolder()
{
    if (!scratch[0]) {
        // tmpfs: the write syncs, which costs nothing there.
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::snprintf(scratch, sizeof scratch, "%s/quavix-fuzz-XXXXXX", base);
        if (!::mkdtemp(scratch))
            std::abort();
        std::atexit([] { std::filesystem::remove_all(scratch); });
    }
    return scratch;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text = fuzz::asText(data, size);
    std::string_view rest = text;
    std::string name(fuzz::takeLine(rest));

    int fd = ::memfd_create("playlist", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    std::vector<std::string> entries, lines;
    if (!readPlayListEntries(path, entries) || !appendPlayListLines(path, lines))
        fuzz::broken("an open file reads as missing");
    EntryScan scan = scanPlayList(path, name, 1, true);
    if (scan.index >= scan.count || (scan.index >= 0 && name.empty()))
        fuzz::broken("scan index out of range");
    if (scan.index >= 0 && playListEntryAt(path, scan.index) != name)
        fuzz::broken("the entry found is not at its index");
    if (playListEntryAt(path, scan.count))
        fuzz::broken("an entry past the end");
    // The player's index reads what the scan reads.
    {
        PlayListIndex index;
        if (!index.refresh(path) || index.count() != scan.count)
            fuzz::broken("the index counts other entries than the scan");
        for (long i = 0; i < scan.count && i < 8; ++i)
            if (index.entryAt(i) != playListEntryAt(path, i))
                fuzz::broken("the index reads another entry than the scan");
    }
    ::close(fd);

    for (const auto& e : lines)
        if (e.find('\n') != std::string::npos)
            fuzz::broken("a line holds a line feed");

    const std::string copy = scratchFolder() + "/list.m3u";
    std::string error;
    if (!writePlayListEntries(copy, entries, error))
        fuzz::broken("the editor cannot write what it read");
    std::vector<std::string> back;
    if (!readPlayListEntries(copy, back) || back != entries)
        fuzz::broken("entries change through a save");
    return 0;
}
