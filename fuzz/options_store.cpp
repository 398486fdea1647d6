// The options store's loader on any text: what it parses survives its own format, and the
// formatted file parses back whole (a save never damages or drops an entry).
#include "FuzzInput.h"
#include "platform/posix/IniOptionsStore.h"

using namespace quavix;

namespace {
bool same(const IniOptionsStore::Contents& a, const IniOptionsStore::Contents& b)
{
    if (a.sections.size() != b.sections.size())
        return false;
    for (std::size_t i = 0; i < a.sections.size(); ++i) {
        const auto &x = a.sections[i], &y = b.sections[i];
        if (x.name != y.name || x.entries.size() != y.entries.size())
            return false;
        for (std::size_t j = 0; j < x.entries.size(); ++j)
            if (x.entries[j].key != y.entries[j].key || x.entries[j].value != y.entries[j].value)
                return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto first = IniOptionsStore::parse(std::string(fuzz::asText(data, size)));
    auto again = IniOptionsStore::parse(IniOptionsStore::format(first));
    if (again.damaged)
        fuzz::broken("the store's own file does not parse");
    if (!same(first, again))
        fuzz::broken("entries change through a save");
    return 0;
}
