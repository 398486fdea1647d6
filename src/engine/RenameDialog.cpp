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

std::unique_ptr<RenameDialogPort>& instance()
{
    static std::unique_ptr<RenameDialogPort> loaded;
    return loaded;
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
