#pragma once
// Reading the files the desktop owns (mimeapps.list, defaults.list, mimeinfo.cache, desktop
// entries) and the association rules over them.
//
// Other programs write these files, so they are read with care: only regular files (a FIFO
// in their place would block the window that asks, a device would never end), and only up
// to MaxBytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quavix::desktop {

inline constexpr std::size_t MaxBytes = 4u << 20;

// The file's lines without their line ends (LF or CR LF). Empty for a missing file; nullopt
// for one that is there but cannot be read whole: not a regular file, unreadable, or larger
// than maxBytes. A writer must not replace such a file with what it could not read.
std::optional<std::vector<std::string>> readLines(const std::string& path,
                                                  std::size_t maxBytes = MaxBytes);
// The lines, or none at all when the file cannot be read (for readers only).
std::vector<std::string> linesOf(const std::string& path);

// Without blanks, tabs and CRs at either end.
std::string trimmed(std::string_view text);

// The value of `key` in the group `group` ("[Desktop Entry]"); the first one counts, escapes
// are left as they stand.
std::optional<std::string> value(const std::vector<std::string>& lines, std::string_view group,
                                 std::string_view key);

// A ';'-separated list value: each item trimmed, empty items dropped.
std::vector<std::string> listItems(const std::string& value);

// The desktop entry file of an installed application, looked up in the applications
// folders of $XDG_DATA_HOME, then $XDG_DATA_DIRS ("kde-foo.desktop" may also be
// kde/foo.desktop); "" when none. An id that holds '/' names none.
std::string entryFile(const std::string& desktopId);

// What makes an application installed: its desktop entry file, or that and the program its
// Exec line names (a path to an executable file, or a name found on $PATH), which is what
// xdg-mime asks of a default.
enum class Installed { Entry, Program };

// True when the entry file names a program that can be found (see Installed::Program).
bool entryProgramFound(const std::string& entryFile);

// The application that opens a MIME type, as the desktop resolves it: the first installed
// application of [Default Applications] in the mimeapps.list files (in their order), then of
// the older defaults.list files, then of the associations ([Added Associations], then each
// applications folder's mimeinfo.cache) less the [Removed Associations]. With
// Installed::Program, as xdg-mime does, the entry that lists the type with the highest
// InitialPreference (the user's folder first) is the last resort. nullopt for none.
std::optional<std::string> defaultApplication(const std::string& mimeType,
                                              Installed installed = Installed::Entry);

} // namespace quavix::desktop
