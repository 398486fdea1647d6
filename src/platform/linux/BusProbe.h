#pragma once
// Whether the message buses the program uses (the session bus: media controls, KWin and
// GNOME Shell; the accessibility bus: screen readers) answer, asked within a deadline
// before the toolkit touches them. The toolkit's own calls wait 25 s each and cannot be
// interrupted, so a bus that takes connections and never answers (a stopped daemon, a
// socket a wedged process still holds, a tcp port nobody reads) would hold the start for
// minutes.
//
// Asked with libdbus, the library the toolkit's D-Bus module speaks through (so it is
// loaded anyway), on a private connection and in the same way: the first alternative of
// an address list that takes the connection is the bus, whatever its transport (unix
// path or abstract name, tcp, nonce-tcp, or one the library starts, as autolaunch:); it
// must authenticate us and answer Hello in time. Addresses to listen on (unix:dir=,
// tmpdir=) and unknown transports fail at once, as they do for the toolkit.
//
// Every call returns within its deadline and never throws. Each conversation runs on a
// thread of its own and closes its connection before the deadline; only one whose
// connect() or name lookup has not returned by then (a host that drops packets, a slow
// name server) is left behind, and ends by itself when the system gives up on it, closing
// its socket: it touches nothing of the caller's.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quavix::bus {

struct Answer {
    bool answers = false;
    // Nothing took the connection (no socket, refused, an address no client can use): the
    // toolkit fails at once too, so nobody waits for it.
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

enum class Buses {
    Session,                 // a program without windows (the station): media controls only
    SessionAndAccessibility, // the strip: screen readers reach it on a bus of their own
};

// Checks DBUS_SESSION_BUS_ADDRESS and, for SessionAndAccessibility when a screen reader's
// bus runs, that bus too, each within `deadline`; replaces an address that does not answer
// by Unreachable (the accessibility bus through AT_SPI_BUS_ADDRESS). Returns the lines for
// standard error, one per bus given up; none for a bus that is absent or answers.
std::vector<std::string> settleBeforeToolkit(std::chrono::milliseconds deadline,
                                             Buses buses = Buses::SessionAndAccessibility);

} // namespace quavix::bus
