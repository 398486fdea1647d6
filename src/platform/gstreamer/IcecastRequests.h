#pragma once
// What the broadcast says to an Icecast server besides the stream, and how it reads the
// answers: a title for the mount (the admin interface, with the source's credentials), the
// question whether the server takes the source (asked after the sender failed, so that
// the reason is the server's answer, not a library's wording), and a listener's request of
// the mount (whether listeners get in).
//
// Pure functions: the requests are complete HTTP requests; the answers are the head of
// what the server sent back.
#include "platform/Broadcast.h"

#include <string>
#include <string_view>

namespace quavix {

// GET /admin/metadata with the title, Basic authorization. A title over 1 kB is cut to
// that, before a UTF-8 character, so that the server takes the request.
std::string icecastTitleRequest(const BroadcastSettings& settings, std::string_view title);
// A source's PUT of the mount that asks to be told before sending anything (Expect:
// 100-continue): the server answers with its verdict on the login and the mount, and the
// connection is closed without a byte of sound.
std::string icecastSourceRequest(const BroadcastSettings& settings);
// A listener's GET of the mount.
std::string icecastListenerRequest(const BroadcastSettings& settings);

struct HttpAnswer {
    int status = 0;     // 0: no answer, or not HTTP
    std::string phrase; // the server's words after the status, as sent
    std::string says;   // the first line of a short text body (Icecast's reason), or ""
};
// `answer`: the head of the server's answer and what came of its body.
HttpAnswer httpAnswer(std::string_view answer);

// Why the server refused the source, from its answer to icecastSourceRequest, in the
// server's own words where it gave some ("Mountpoint in use", "Icecast connection limit
// reached"): "" when it would take it.
std::string sourceRefusal(const HttpAnswer& answer);
// Why listeners cannot hear the mount, from the answer to icecastListenerRequest: "" when
// they can.
std::string listenerRefusal(const HttpAnswer& answer);

} // namespace quavix
