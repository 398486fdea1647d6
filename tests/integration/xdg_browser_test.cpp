// The browser found from the XDG associations and started for real: a recording script
// stands in for the web browser.
#include "platform/linux/XdgBrowser.h"
#include "support/Rig.h"

#include <QDeadlineTimer>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Sandbox;

namespace {

namespace fs = std::filesystem;

// A folder with a blank and quotes, so that the program path must be quoted in Exec.
const char* const ScriptDir = "bin/my \"web\" apps";

struct BrowserRig {
    Sandbox box;
    std::string record = box.path("args.txt");

    BrowserRig()
    {
        // One argument per line; written elsewhere first so a reader sees it whole.
        std::string script =
            box.write(std::string(ScriptDir) + "/browser",
                      "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; "
                      "done > '" +
                          record + ".tmp'\nmv '" + record + ".tmp' '" + record + "'\n");
        fs::permissions(script, fs::perms::owner_all);
    }
    void entry(const std::string& id, const std::string& exec, const std::string& dir = "data")
    {
        box.write(dir + "/applications/" + id,
                  "[Desktop Entry]\nType=Application\nName=Web\nExec=" + exec + "\n");
    }
    // Desktop entry string escaping of the script path inside a quoted Exec argument.
    std::string quotedScript() const
    {
        return "\"" + box.root().string() + "/bin/my \\\\\"web\\\\\" apps/browser\"";
    }
    std::vector<std::string> recorded() const
    {
        QDeadlineTimer deadline(5000);
        while (!fs::exists(record) && !deadline.hasExpired())
            QTest::qWait(20);
        std::vector<std::string> lines;
        std::stringstream text(readText(record));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
};

TEST(XdgBrowser, StartsTheDefaultHandlerWithTheAddressAsOneArgument)
{
    BrowserRig rig;
    rig.entry("web.desktop", rig.quotedScript() + " --new-window %u %i 100%%");
    // The first listed entry is not installed: the next one is taken.
    rig.box.write("config/mimeapps.list", "[Added Associations]\ntext/html=other.desktop;\n"
                                          "[Default Applications]\ntext/plain=nothing.desktop\n"
                                          "text/html=gone.desktop;web.desktop;\n");
    rig.entry("other.desktop", "/bin/false %u");
    XdgBrowser browser;
    auto found = browser.findBrowser();
    ASSERT_EQ(found, rig.box.path("data/applications/web.desktop"));

    const std::string address = "file:///tmp/a b/it's \"here\" $HOME;.html";
    ASSERT_TRUE(browser.open(*found, address));
    EXPECT_EQ(rig.recorded(), (std::vector<std::string>{"--new-window", address, "100%"}));
}

TEST(XdgBrowser, LookupOrderOfTheAssociationFiles)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // sandbox path, text
        std::optional<std::string> expected;                    // desktop id
    };
    const std::string def = "[Default Applications]\ntext/html=";
    const std::string added = "[Added Associations]\ntext/html=";
    const std::vector<Case> cases = {
        {"nothing associated", {{"config/mimeapps.list", def + "\n"}}, std::nullopt},
        {"no path outside the folders",
         {{"config/mimeapps.list", def + "../a.desktop\n"}},
         std::nullopt},
        {"user config before system config",
         {{"config/mimeapps.list", def + "a.desktop\n"},
          {"etc-xdg/mimeapps.list", def + "b.desktop\n"}},
         "a.desktop"},
        {"system config before data folders",
         {{"etc-xdg/mimeapps.list", def + "b.desktop\n"},
          {"data/applications/mimeapps.list", def + "a.desktop\n"}},
         "b.desktop"},
        {"system data folder last",
         {{"usr-share/applications/mimeapps.list", def + "b.desktop\n"}},
         "b.desktop"},
        {"defaults anywhere before added associations",
         {{"config/mimeapps.list", added + "a.desktop\n"},
          {"usr-share/applications/mimeapps.list", def + "b.desktop\n"}},
         "b.desktop"},
        {"added associations without defaults",
         {{"config/mimeapps.list", def + "gone.desktop\n" + added + "a.desktop\n"}},
         "a.desktop"},
    };
    for (const auto& c : cases) {
        BrowserRig rig;
        rig.entry("a.desktop", "a %u");
        rig.entry("b.desktop", "b %u", "usr-share");
        for (const auto& [path, text] : c.files)
            rig.box.write(path, text);
        auto found = XdgBrowser().findBrowser();
        std::optional<std::string> id;
        if (found)
            id = fs::path(*found).filename().string();
        EXPECT_EQ(id, c.expected) << c.what;
    }
}

TEST(XdgBrowser, AHandlerThatCannotStartFails)
{
    BrowserRig rig;
    XdgBrowser browser;
    rig.entry("missing.desktop", "\"" + rig.box.path("bin/no such browser") + "\" %u");
    rig.box.write("data/applications/empty.desktop", "[Desktop Entry]\nName=x\n");
    for (const char* id : {"missing.desktop", "empty.desktop"})
        EXPECT_FALSE(
            browser.open(rig.box.path(std::string("data/applications/") + id), "file:///x"))
            << id;
    EXPECT_FALSE(browser.open(rig.box.path("data/applications/absent.desktop"), "file:///x"));
    EXPECT_FALSE(fs::exists(rig.record));
}

} // namespace
