#pragma once
// Play list files as the editor reads and writes them. An entry is a byte string, kept
// exactly as it stands in the file (any byte encoding, leading blanks, "#" or "[" lines):
// only the line end (LF, or CR LF) is not part of it.
//
// Written files hold each entry followed by CR LF and nothing else; an empty list is an
// empty file. Writes never leave a half list behind: the list goes to a temporary file in
// the target's folder that is renamed over the target. A symbolic link keeps pointing where
// it did (its target is replaced) and the file keeps its permissions.
#include <cstdint>
#include <string>
#include <vector>

namespace quavix {

// The default play list as the editor opens it: lines that hold nothing but spaces are
// left out, every other line is an entry. False when the file cannot be opened (out is
// then unchanged).
bool readPlayListEntries(const std::string& path, std::vector<std::string>& out);

// File > Open: every line is appended, empty ones included. False when the file cannot be
// opened; lines read before a read error stay appended.
bool appendPlayListLines(const std::string& path, std::vector<std::string>& out);

// Replaces the file with the entries. On failure returns false with the reason in `error`
// (the system's text) and leaves the file as it was.
bool writePlayListEntries(const std::string& path, const std::vector<std::string>& entries,
                          std::string& error);

// What a file held when it was read, to tell what was added to it since: the running
// program appends the files handed to it while the editor has the list open.
struct ReadMark {
    long long size = -1; // -1: nothing was read
    std::uint64_t hash = 0;
};
ReadMark markOf(const std::string& path);
// The entries of the lines appended to the file since it held what `mark` describes (it
// still begins with those bytes and has more); nothing when it was rewritten, cut or left
// as it was. Lines of nothing but spaces are no entries.
std::vector<std::string> entriesAddedSince(const std::string& path, const ReadMark& mark);

// Whether a name can be an entry at all: a line break would split it into two.
bool fitsOnOneLine(const std::string& name);

} // namespace quavix
