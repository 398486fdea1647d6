#pragma once
// The remembered stream addresses and the Open Location command without its window.
//
// Store layout (options store, application = the program title, section "Locations"):
// "LastLocation" the address last played; "LocationHistory0", "LocationHistory1", ... the
// history from the top; the key after the last entry holds the end marker "Last Item".
// Reading stops at the marker or at the first missing key; keys beyond are never read.
#include <string>
#include <vector>

namespace quavix {

class OptionsStore;

inline constexpr const char* LocationsSection = "Locations";
inline constexpr const char* LocationHistoryEnd = "Last Item";

std::string loadLastLocation(OptionsStore& store);
std::vector<std::string> loadLocationHistory(OptionsStore& store);
// Puts the address at the top unless it is listed already (exact comparison). The end
// marker itself is never listed: it would cut the history short on the next load.
void addLocationIfNew(std::vector<std::string>& history, const std::string& address);
// Writes every entry and the end marker after them, in one save; false when it failed.
bool saveLocationHistory(OptionsStore& store, const std::vector<std::string>& history);

// What OK does between hiding and closing the dialog: the button bar in its stream state,
// the address to the media player as typed, then, when the player accepted it, the slider
// off, "LastLocation", the history (`history` updated) and Timer1 on again. When the player
// refuses it (or the address is empty) the "URL Not Loaded" box is shown, nothing is stored,
// and false is returned.
bool openLocation(const std::string& address, std::vector<std::string>& history);

} // namespace quavix
