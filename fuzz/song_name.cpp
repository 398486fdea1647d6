// The song-name parser on any name.
#include "FuzzInput.h"
#include "engine/SongFileName.h"
#include "startup/Globals.h"

using namespace quavix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view name = fuzz::asText(data, size);
    SongNameParts parts = parseSongName(name);
    if (parts.ok && parts.textFields != 4)
        fuzz::broken("a whole name without four fields");
    for (const std::string* f : {&parts.group, &parts.cdTitle, &parts.releaseYear, &parts.title})
        if (f->find('-') != std::string::npos)
            fuzz::broken("a field holds its separator");
    if (takeSongNameApart(fileNamePart(name)) &&
        globals().gCurrentLength != parseSongName(fileNamePart(name)).length)
        fuzz::broken("the shared length differs from the parse");
    return 0;
}
