// quavix-desktop-entry PROGRAM FILE: writes to FILE the desktop entry that opens files with
// PROGRAM (the installed launcher). It is the text the program itself writes for its file
// types, so the installed entry and the user's own one agree. Used by `cmake --install`.
#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/posix/CommandText.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quavix-desktop-entry PROGRAM FILE\n");
        return 2;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << quavix::DesktopClassesRegistry::entryText("Quavix",
                                                     quavix::command::openCommand(argv[1]));
    out.close();
    if (!out) {
        std::fprintf(stderr, "quavix-desktop-entry: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
