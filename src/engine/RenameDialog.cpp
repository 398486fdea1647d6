#include "RenameDialog.h"

#include <cstdio>
#include <cstdlib>

namespace quavix {

namespace {

std::function<std::unique_ptr<RenameDialogPort>()>& loader()
{
    static std::function<std::unique_ptr<RenameDialogPort>()> l;
    return l;
}

// Never destroyed at exit: when the toolkit ends the process (its display went away), a
// window destroyed among the static objects would talk to a toolkit that is half gone.
std::unique_ptr<RenameDialogPort>& instance()
{
    static auto* loaded = new std::unique_ptr<RenameDialogPort>;
    return *loaded;
}

} // namespace

RenameDialogPort& loadResetSongFileName()
{
    auto& window = instance();
    if (!window) {
        if (!loader()) {
            std::fprintf(stderr, "quavix: no rename window registered\n");
            std::abort();
        }
        window = loader()();
    }
    return *window;
}

RenameDialogPort* resetSongFileNameIfLoaded()
{
    return instance().get();
}

void unloadResetSongFileName()
{
    instance().reset();
}

void setResetSongFileNameLoader(std::function<std::unique_ptr<RenameDialogPort>()> l)
{
    unloadResetSongFileName();
    loader() = std::move(l);
}

} // namespace quavix
