#pragma once
// The browser on freedesktop files (see platform/Browser.h).
//
// findBrowser: the default application of text/html from the mimeapps.list files in XDG
// lookup order ($XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME/applications,
// $XDG_DATA_DIRS/applications; desktop-specific files before plain ones): first every
// [Default Applications] group, then every [Added Associations] group; the first listed
// application whose desktop entry is installed wins. The handle is the entry's path.
// open: the entry's Exec line, split after the desktop entry quoting rules, its field codes
// expanded by commandFor, started detached.
#include "platform/Browser.h"

#include <vector>

namespace quavix {

class XdgBrowser : public Browser {
public:
    std::optional<std::string> findBrowser() override;
    bool open(const std::string& browser, const std::string& address) override;

    // The program and its arguments for an (unescaped) Exec value: %u %U %f %F become the
    // address as one argument (appended when the line has none), %% a percent sign, every
    // other field code is dropped. nullopt when the line is empty or its quoting is broken.
    static std::optional<std::vector<std::string>> commandFor(const std::string& exec,
                                                              const std::string& address);
};

} // namespace quavix
