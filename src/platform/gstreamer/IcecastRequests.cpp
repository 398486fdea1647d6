#include "IcecastRequests.h"

#include <algorithm>
#include <charconv>
#include <glib.h>

namespace quavix {

namespace {

std::string escaped(std::string_view text)
{
    // Everything but the unreserved characters and "/" is percent-escaped: "&", "=", "%",
    // line breaks and blanks cannot break the query or the request.
    gchar* e = g_uri_escape_string(std::string(text).c_str(), "/", FALSE);
    std::string out = e ? e : "";
    g_free(e);
    return out;
}

std::string basicAuthorization(const BroadcastSettings& s)
{
    const std::string credentials = s.user + ":" + s.password;
    gchar* encoded =
        g_base64_encode(reinterpret_cast<const guchar*>(credentials.data()), credentials.size());
    std::string out = std::string("Authorization: Basic ") + encoded + "\r\n";
    g_free(encoded);
    return out;
}

std::string hostLine(const BroadcastSettings& s)
{
    return "Host: " + s.host + ":" + std::to_string(s.port) + "\r\nUser-Agent: Quavix\r\n";
}

} // namespace

std::string icecastTitleRequest(const BroadcastSettings& s, std::string_view title)
{
    // The server takes a request of a few kB at most: a title cut at 1 kB (3 kB escaped)
    // still leaves room for the rest, cut before a character, not inside one.
    constexpr std::size_t MaxTitle = 1024;
    if (title.size() > MaxTitle) {
        std::size_t end = MaxTitle;
        while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80)
            --end;
        title = title.substr(0, end);
    }
    return "GET /admin/metadata?mount=" + escaped(s.mount) +
           "&mode=updinfo&charset=UTF-8&song=" + escaped(title) + " HTTP/1.0\r\n" + hostLine(s) +
           basicAuthorization(s) + "\r\n";
}

std::string icecastSourceRequest(const BroadcastSettings& s)
{
    const char* type =
        s.format == BroadcastSettings::Format::Ogg ? "application/ogg" : "audio/mpeg";
    return "PUT " + escaped(s.mount) + " HTTP/1.1\r\n" + hostLine(s) + basicAuthorization(s) +
           "Content-Type: " + type + "\r\nExpect: 100-continue\r\n\r\n";
}

std::string icecastListenerRequest(const BroadcastSettings& s)
{
    return "GET " + escaped(s.mount) + " HTTP/1.0\r\n" + hostLine(s) + "\r\n";
}

HttpAnswer httpAnswer(std::string_view answer)
{
    HttpAnswer a;
    const std::string_view line = answer.substr(0, answer.find("\r\n"));
    if (line.rfind("HTTP/", 0) != 0 && line.rfind("ICY ", 0) != 0)
        return a;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 4 > line.size())
        return a;
    int status = 0;
    const char* from = line.data() + space + 1;
    if (std::from_chars(from, from + 3, status).ptr != from + 3)
        return a;
    a.status = status;
    if (space + 5 < line.size())
        a.phrase = std::string(line.substr(space + 5));
    if (const auto body = answer.find("\r\n\r\n"); body != std::string_view::npos) {
        std::string_view text = answer.substr(body + 4);
        text = text.substr(0, std::min(text.find_first_of("\r\n<"), std::size_t{200}));
        const bool plain = std::all_of(text.begin(), text.end(),
                                       [](unsigned char c) { return c >= 0x20 && c < 0x7f; });
        if (plain)
            a.says = std::string(text);
    }
    return a;
}

std::string sourceRefusal(const HttpAnswer& a)
{
    const std::string said = "it answered " + std::to_string(a.status) +
                             (a.phrase.empty() ? "" : " " + a.phrase) +
                             (a.says.empty() ? "" : ": " + a.says);
    if (a.status == 0)
        return "the server sent no answer to the source";
    if (a.status == 100 || a.status == 200)
        return "";
    if (a.status == 401)
        return "the server refused the source's user or password (" + said + ")";
    if ((a.status == 403 || a.status == 409) && a.says.empty())
        return "the server refused the source (" + said +
               "): the mount is in use, or it takes no more sources or clients";
    return "the server refused the source (" + said + ")";
}

std::string listenerRefusal(const HttpAnswer& a)
{
    if (a.status == 200)
        return "";
    if (a.status == 0)
        return "the server sent no answer to a listener";
    return "the server refuses listeners of the mount (it answered " + std::to_string(a.status) +
           (a.phrase.empty() ? "" : " " + a.phrase) +
           "): its max-listeners, a listener password or its client limit";
}

} // namespace quavix
