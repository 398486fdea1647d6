#pragma once
// The classes registry on freedesktop files (see platform/ClassesRegistry.h).
//
// - "Quavix" (the class key) is $XDG_DATA_HOME/applications/quavix.desktop: its default
//   value is the entry's Name. "Quavix\shell\open\command" is its Exec line, built from the
//   command ('"<program>" %1' -> Exec="<program>" %f, quoted after the desktop entry rules);
//   the command text itself is kept in X-Quavix-Command so that it reads back unchanged.
//   The entry's MimeType line lists every type of the twelve extensions.
// - An extension key (".MP3", any case) is the default application of the extension's MIME
//   type: read from the mimeapps.list files in XDG lookup order (the first listed
//   application that is installed wins), written to $XDG_CONFIG_HOME/mimeapps.list with every
//   other line kept. The value is "Quavix" for quavix.desktop and the desktop file id of any
//   other application (e.g. "vlc.desktop"); setting "" or "<none>" removes the entry from
//   $XDG_CONFIG_HOME/mimeapps.list. Extensions sharing one MIME type (.AU/.SND, .MID/.RMI,
//   .RM/.RMM) share their default application.
// - Every other key: queryValue gives nullopt, setValue false.
// - displayName: "Quavix" for our class, the Name of an installed application's desktop
//   entry (looked up like its id, sub-folders joined by '-'), else the value as it is.
// - location: the desktop entry for the class keys, the user's mimeapps.list otherwise.
// Files are replaced atomically (write a temporary file, then rename).
#include "platform/ClassesRegistry.h"

#include <vector>

namespace quavix {

class DesktopClassesRegistry : public ClassesRegistry {
public:
    std::optional<std::string> queryValue(const std::string& key) override;
    bool setValue(const std::string& key, const std::string& value) override;
    std::string displayName(const std::string& className) override;
    std::string location(const std::string& key) override;

    static std::string desktopFilePath();
    static std::string userMimeAppsPath();
    // The MIME types of an extension key (".MP3"), empty for an unknown one.
    static std::vector<std::string> mimeTypes(const std::string& extension);
    // The Exec value for a command ('"<program>" %1'), nullopt when it cannot be split.
    static std::optional<std::string> execValue(const std::string& command);
    // The whole entry the class keys stand for; the installed quavix.desktop is this text
    // too, built for the installed launcher, so the two never differ.
    static std::string entryText(const std::string& name,
                                 const std::optional<std::string>& command);
    // Desktop entry string escapes (\s \n \t \r \\) and back.
    static std::string escapeString(const std::string& text);
    static std::string unescapeString(const std::string& text);
};

} // namespace quavix
