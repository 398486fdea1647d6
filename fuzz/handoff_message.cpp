// The request line a second start sends to the running instance, read the way the
// instance reads it: the bytes up to the first line end are one request.
#include "FuzzInput.h"
#include "platform/posix/InstanceClient.h"

using namespace quavix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest = fuzz::asText(data, size);
    if (rest.find('\n') == std::string_view::npos)
        return 0; // the instance waits for the rest
    auto request = instance::parse(fuzz::takeLine(rest));
    if (!request)
        return 0;
    // What parses is what a client could have sent: it encodes to one line and reads back.
    std::string line = instance::encode(*request);
    if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1)
        fuzz::broken("a request encodes to other than one line");
    line.pop_back();
    auto back = instance::parse(line);
    if (!back || back->kind != request->kind)
        fuzz::broken("an encoded request does not read back");
    return 0;
}
