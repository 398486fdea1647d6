#pragma once
// The user's web browser.
//
// - findBrowser(): the program that opens HTML pages (MIME type text/html), as a handle
//   that open() understands (the real one: the path of its desktop entry); nullopt when no
//   program is associated with HTML pages.
// - open(browser, address): starts that program with the address (a URL such as
//   "file:///usr/share/quavix/help.html") as one argument and returns without waiting for
//   it. false when the program could not be started (its command cannot be read, the
//   executable is missing or not executable). Never runs a shell and writes no file.
#include <optional>
#include <string>

namespace quavix {

class Browser {
public:
    virtual ~Browser() = default;
    virtual std::optional<std::string> findBrowser() = 0;
    virtual bool open(const std::string& browser, const std::string& address) = 0;
};

} // namespace quavix
