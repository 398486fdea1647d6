#pragma once
// Whether the message buses the program uses (the session bus: media controls, KWin and
// GNOME Shell; the accessibility bus: screen readers) answer, asked within a deadline
// before the toolkit touches them. The toolkit's own calls wait 25 s each and cannot be
// interrupted, so a bus that takes connections and never answers (a stopped daemon, a
// socket a wedged process still holds) would hold the start for minutes.
//
// No toolkit here: a plain socket, the EXTERNAL authentication and hand-made messages.
// Only the unix transports (path=, abstract=) are asked; an address of another kind is
// taken as answering (its own library deals with it). Every call returns within its
// deadline, never throws and leaves no descriptor open.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quavix::bus {

struct Answer {
    bool answers = false;
    // Nothing listens there at all: the connection fails at once, so nobody waits for it.
    bool absent = false;
    std::string why; // when it does not answer: what went wrong, for a message
};

// Connects to `address` (a D-Bus address list, "a;b" tried in order), authenticates and
// says Hello: answers once the bus replied.
Answer probe(const std::string& address, std::chrono::milliseconds deadline);

// The accessibility bus's address, asked of org.a11y.Bus on the session bus without
// starting it. nullopt, with `why`, when the session bus or the service does not answer
// in time; an empty string when no accessibility bus runs (nothing to wait for then).
std::optional<std::string> accessibilityAddress(const std::string& sessionAddress,
                                                std::chrono::milliseconds deadline,
                                                std::string& why);

// An address no bus can ever be at: set in place of one that does not answer, so that
// every later connection fails at once instead of waiting.
inline constexpr const char* Unreachable = "unix:path=/dev/null/no-bus";

// Checks DBUS_SESSION_BUS_ADDRESS and, when a screen reader's bus runs, that bus too,
// each within `deadline`; replaces an address that does not answer by Unreachable (the
// accessibility bus through AT_SPI_BUS_ADDRESS). Returns the lines for standard error,
// one per bus given up.
std::vector<std::string> settleBeforeToolkit(std::chrono::milliseconds deadline);

} // namespace quavix::bus
