#pragma once
// The editor's reordering, removing and folder listing, on plain lists of entries.
//
// Alphabetical order is without regard to case and stable: entries that compare equal
// (the same but for case) keep their relative order. Every operation here is O(n log n)
// or better, so that lists of 100,000 entries stay quick.
#include <string>
#include <vector>

namespace quavix {

class Random;

// Edit > Order > Sequential.
void sortEntries(std::vector<std::string>& entries);

// Edit > Order > Random: sorts, then draws the entries one by one: with m left, the draw
// r in [0, 1) takes the k-th remaining (k = integer part of m * r) in alphabetical order.
// Every arrangement is equally likely; `random` is drawn once per entry and not seeded.
void shuffleEntries(std::vector<std::string>& entries, Random& random);

// Keeps the entries whose flag equals `keep` (flags[i] belongs to entries[i]; missing
// flags count as false), in their order.
void keepFlagged(std::vector<std::string>& entries, const std::vector<char>& flags, bool keep);

// Edit > Add > Directory: folder + name of every file directly in `folder` (which ends
// with "/"; an empty folder means the current one), alphabetically. Sub-folders, hidden
// files (names starting with ".") and names holding a line break are left out; a link to
// a file counts as a file. False when the folder cannot be read.
bool folderFiles(const std::string& folder, std::vector<std::string>& out);

} // namespace quavix
