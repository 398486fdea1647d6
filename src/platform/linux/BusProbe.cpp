#include "BusProbe.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <dbus/dbus.h>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace quavix::bus {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* NoAnswerInTime = "no answer in time";

// What one conversation with a bus came to.
struct Outcome {
    Answer answer; // its `why` also says why the screen readers' bus was not learnt
    // When asked for: empty when no screen readers' bus runs, nullopt when the question
    // got no answer.
    std::optional<std::string> readersBus;
};

std::string textOf(const DBusError& error)
{
    // The library's words for a timeout list every cause there could be.
    if (dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) ||
        dbus_error_has_name(&error, DBUS_ERROR_TIMEOUT))
        return NoAnswerInTime;
    return error.message ? error.message : "failed";
}

// Sends `message` (taking it) and waits for the reply until `until`; null with `error` set
// when none came, or an error did.
DBusMessage* call(DBusConnection* c, DBusMessage* message, Clock::time_point until,
                  DBusError& error)
{
    if (!message) {
        dbus_set_error_const(&error, DBUS_ERROR_NO_MEMORY, "out of memory");
        return nullptr;
    }
    const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
    DBusMessage* reply = nullptr;
    if (left > 0)
        reply = dbus_connection_send_with_reply_and_block(
            c, message, static_cast<int>(std::min<long long>(left, INT_MAX)), &error);
    else
        dbus_set_error_const(&error, DBUS_ERROR_NO_REPLY, NoAnswerInTime);
    dbus_message_unref(message);
    return reply;
}

// Talks to the bus at `address` until `until`, as any client of the library would, and
// hangs up. The connecting step is the one the library does not bound.
Outcome converse(const std::string& address, Clock::time_point until, bool askReadersBus)
{
    Outcome o;
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* c = dbus_connection_open_private(address.c_str(), &error);
    if (!c) {
        o.answer.absent = true;
        o.answer.why = textOf(error);
        dbus_error_free(&error);
        return o;
    }
    // Authentication happens inside the first call, within its time.
    if (DBusMessage* hello = call(c,
                                  dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                               DBUS_INTERFACE_DBUS, "Hello"),
                                  until, error)) {
        o.answer.answers = true;
        dbus_message_unref(hello);
    } else {
        o.answer.why = textOf(error);
    }
    if (o.answer.answers && askReadersBus) {
        DBusMessage* get = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                        "org.a11y.Bus", "GetAddress");
        // Not started for us: a desktop without screen readers has nothing to wait for.
        if (get)
            dbus_message_set_auto_start(get, FALSE);
        if (DBusMessage* reply = call(c, get, until, error)) {
            const char* readers = nullptr;
            o.readersBus =
                dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &readers, DBUS_TYPE_INVALID)
                    ? readers
                    : "";
            dbus_message_unref(reply);
        } else if (dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) ||
                   dbus_error_has_name(&error, DBUS_ERROR_DISCONNECTED) ||
                   dbus_error_has_name(&error, DBUS_ERROR_NO_MEMORY)) {
            o.answer.why = textOf(error);
        } else {
            o.readersBus = std::string(); // the bus answered: no such service
        }
    }
    dbus_error_free(&error);
    dbus_connection_close(c);
    dbus_connection_unref(c);
    return o;
}

// The conversation on a thread of its own, waited for until the deadline: past it, one
// still connecting is left to end by itself with the result nobody reads.
Outcome converseWithin(const std::string& address, milliseconds deadline, bool askReadersBus)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable over;
        std::optional<Outcome> outcome;
    };
    const auto until = Clock::now() + deadline;
    // The conversation's own time ends a little earlier, so that it is over (its socket
    // closed) when the caller looks.
    const auto own = until - std::min<Clock::duration>(deadline / 10, milliseconds(50));
    auto shared = std::make_shared<Shared>();
    Outcome given;
    given.answer.why = NoAnswerInTime;
    std::thread attempt;
    try {
        attempt = std::thread([shared, address, own, askReadersBus] {
            Outcome o = converse(address, own, askReadersBus);
            const std::lock_guard<std::mutex> hold(shared->lock);
            shared->outcome = std::move(o);
            shared->over.notify_all();
        });
    } catch (const std::system_error&) {
        given.answer.why = "no thread to ask it on";
        return given;
    }
    std::unique_lock<std::mutex> hold(shared->lock);
    if (!shared->over.wait_until(hold, until, [&] { return shared->outcome.has_value(); })) {
        hold.unlock();
        attempt.detach();
        return given;
    }
    hold.unlock();
    attempt.join();
    return std::move(*shared->outcome);
}

} // namespace

Answer probe(const std::string& address, std::chrono::milliseconds deadline)
{
    return converseWithin(address, deadline, false).answer;
}

std::optional<std::string> accessibilityAddress(const std::string& sessionAddress,
                                                std::chrono::milliseconds deadline,
                                                std::string& why)
{
    Outcome o = converseWithin(sessionAddress, deadline, true);
    if (!o.readersBus)
        why = o.answer.why;
    return o.readersBus;
}

std::vector<std::string> settleBeforeToolkit(std::chrono::milliseconds deadline, Buses buses)
{
    std::vector<std::string> lines;
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session)
        return lines;
    const bool readers = buses == Buses::SessionAndAccessibility;
    const char* forced = std::getenv("AT_SPI_BUS_ADDRESS");
    const bool askReadersBus = readers && !(forced && *forced);
    // One conversation asks the session bus for the screen readers' bus too.
    const Outcome s = converseWithin(session, deadline, askReadersBus);
    if (s.answer.absent)
        return lines; // no bus: every connection to it fails at once anyway
    if (!s.answer.answers) {
        lines.push_back("quavix: the session bus (" + std::string(session) + ") does not answer (" +
                        s.answer.why + "); going on without it: " +
                        (readers ? "no media controls, screen readers or window following on "
                                   "Wayland this time"
                                 : "no media controls this time"));
        ::setenv("DBUS_SESSION_BUS_ADDRESS", Unreachable, 1);
        return lines;
    }
    if (!readers)
        return lines;
    const std::optional<std::string> a11y = askReadersBus ? s.readersBus : std::string(forced);
    std::string why = s.answer.why;
    if (a11y) {
        if (a11y->empty())
            return lines;
        const Answer reader = probe(*a11y, deadline);
        if (reader.answers || reader.absent)
            return lines;
        why = reader.why;
    }
    lines.push_back("quavix: the accessibility bus does not answer (" + why +
                    "); screen readers cannot reach Quavix this time");
    ::setenv("AT_SPI_BUS_ADDRESS", Unreachable, 1);
    return lines;
}

} // namespace quavix::bus
