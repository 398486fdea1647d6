#pragma once
// Talks to the running instance over the per-user abstract Unix socket, without the
// toolkit (the launcher uses it before any library of the window layer is loaded).
//
// Protocol, one exchange per connection: the client sends one line, "PING" or
// "ACTIVATE <title>", and the instance answers "ACK" once it has done what was asked.
// Both ends check that the peer runs as the same user; a socket held by another user
// counts as no instance.
#include <optional>
#include <string>
#include <string_view>

namespace quavix {

namespace instance {
// "quavix-<uid>": the abstract socket name (no file on disk, nothing stale after a crash).
// A run whose XDG_RUNTIME_DIR is not the user's own (/run/user/<uid>) gets a name of its
// own, "quavix-<uid>-<hash of that folder>", so that sandboxed runs (tests, the demo) never
// find the user's Quavix or each other. $QUAVIX_INSTANCE_NAME replaces the name outright.
std::string socketName();
// The station's own name, socketName() + "-station": a station service and the desktop
// strip of the same user never take each other for the running instance.
std::string stationSocketName();
inline constexpr std::string_view Ack = "ACK\n";

struct Request {
    enum Kind { Ping, Activate } kind = Ping;
    std::string title; // Activate only
};
std::string encode(const Request& request);
// One request line without its "\n"; nullopt for anything else.
std::optional<Request> parse(std::string_view line);
} // namespace instance

class InstanceClient {
public:
    enum class Answer {
        None,     // no process of this user holds the name
        Answered, // the instance did what was asked and said so within the timeout
        Silent,   // a live process of this user holds the name but did not answer (stopped,
                  // held in a debugger, or busy past the timeout)
    };

    explicit InstanceClient(std::string name = instance::socketName(), int timeoutMs = 1000);
    Answer ping();
    // Asks the instance to show, restore and activate its window; true once acknowledged.
    bool activate(const std::string& title);
    // The process that held the name at the last exchange that reached one (0 for none).
    int holderPid() const { return m_holder; }

private:
    Answer exchange(const instance::Request& request);
    int m_holder = 0;
    std::string m_name;
    int m_timeoutMs;
};

} // namespace quavix
