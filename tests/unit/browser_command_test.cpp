// Exec lines of desktop entries turned into a program and its arguments.
#include "platform/linux/XdgBrowser.h"

#include <gtest/gtest.h>

using quavix::XdgBrowser;
using Words = std::vector<std::string>;

TEST(BrowserCommand, FieldCodesAndQuoting)
{
    const std::string a = "file:///a b/\"q\" $x.html";
    struct Case {
        std::string exec;
        std::optional<Words> expected;
    };
    const std::vector<Case> cases = {
        {"firefox %u", Words{"firefox", a}},
        {"firefox %U --new", Words{"firefox", a, "--new"}},
        {"viewer %f", Words{"viewer", a}},
        {"viewer %F -x", Words{"viewer", a, "-x"}},
        {"firefox", Words{"firefox", a}}, // no code: the address is appended
        {"firefox --url=%u", Words{"firefox", "--url=" + a}},
        {"web %i %c %k --name %c %u", Words{"web", "--name", a}},
        {"web 50%% %u", Words{"web", "50%", a}},
        {"  web\t\t%u  ", Words{"web", a}},
        {"\"/opt/my web/run\" %u", Words{"/opt/my web/run", a}},
        {"\"/opt/say \\\"hi\\\" \\$HOME \\`x\\` \\\\ 1\" %u",
         Words{"/opt/say \"hi\" $HOME `x` \\ 1", a}},
        {"web \"\" %u", Words{"web", "", a}},
        {"web 'single quotes' %u", Words{"web", "'single", "quotes'", a}},
        {"web ; rm -rf ~ %u", Words{"web", ";", "rm", "-rf", "~", a}},
        {"\"/opt/unterminated %u", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"%i", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XdgBrowser::commandFor(c.exec, a), c.expected) << c.exec;
}
