// The File Types page on the real freedesktop files, checked with the desktop's own tool:
// what xdg-mime reports after Set and Reset, and that mimeapps.list keeps its other lines.
#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/posix/IniOptionsStore.h"
#include "properties/frmProperties.h"
#include "support/Rig.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::readText;

namespace {

// xdg-mime's answer in the sandbox, with nothing of the caller's desktop session.
std::string defaultFor(const quavix::testing::Sandbox& box, const QString& mimeType)
{
    QProcessEnvironment env;
    env.insert("PATH", qEnvironmentVariable("PATH"));
    env.insert("HOME", QString::fromStdString(box.path("home")));
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
        env.insert(name, qEnvironmentVariable(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start("xdg-mime", {"query", "default", mimeType});
    if (!p.waitForFinished(20000))
        return "<no answer>";
    return p.readAllStandardOutput().trimmed().toStdString();
}

TEST(FileTypesXdg, SetAndResetAreWhatTheDesktopSees)
{
    if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
        GTEST_SKIP() << "xdg-mime is not installed (scripts/install-deps installs it)";
    quavix::testing::Rig rig(false);
    DesktopClassesRegistry classes;
    IniOptionsStore options(rig.box.path("config/quavix/options.ini"));
    services().classes = &classes;
    services().options = &options;

    // An installed player owns MP3 files; the user's file holds other lines of its own. Its
    // program is a real file: xdg-utils 1.2 takes a shell built-in such as "true" for a
    // program that is not installed (1.1.3 finds /usr/bin/true).
    const std::string player = "[Desktop Entry]\nType=Application\nName=Other Player\nExec=";
    rig.box.write("usr-share/applications/player.desktop", player + "cat %f\n");
    const std::string before = "# my defaults\n"
                               "[Added Associations]\n"
                               "audio/mpeg=player.desktop;\n"
                               "\n"
                               "[Default Applications]\n"
                               "text/html=player.desktop;\n"
                               "audio/mpeg=player.desktop;\n"
                               "video/mp4=player.desktop;\n";
    const std::string list = rig.box.write("config/mimeapps.list", before);
    // What the first start sets up: the class key with a command that exists.
    ASSERT_TRUE(classes.setValue("Quavix", "Quavix"));
    ASSERT_TRUE(classes.setValue("Quavix\\shell\\open\\command",
                                 QCoreApplication::applicationFilePath().toStdString() + " %1"));
    ASSERT_EQ(defaultFor(rig.box, "audio/mpeg"), "player.desktop");

    frmProperties* d = frmProperties::instance();
    EXPECT_EQ(d->lblCurrent[0]->text(), "Other Player");
    d->cmdSet[0]->click();
    // The lines written are the registry's unit test's; the rows are the dialog's.
    EXPECT_EQ(defaultFor(rig.box, "audio/mpeg"), "quavix.desktop");
    EXPECT_EQ(d->lblOriginal[0]->text(), "Other Player");
    EXPECT_EQ(options.get("Quavix", "OriginalAssociations", ".MP3", ""), "player.desktop");

    d->cmdReset[0]->click();
    EXPECT_EQ(defaultFor(rig.box, "audio/mpeg"), "player.desktop");
    EXPECT_EQ(readText(list), before);
    EXPECT_EQ(d->lblOriginal[0]->text(), "<none>");
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    // The player's program is gone: the desktop hands the type to the entry that lists it,
    // ours, and the row says so.
    rig.box.write("usr-share/applications/player.desktop", player + "no-such-player %f\n");
    d->cmdCancel_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    d = frmProperties::instance();
    EXPECT_EQ(defaultFor(rig.box, "audio/mpeg"), "quavix.desktop");
    EXPECT_EQ(d->lblCurrent[0]->text(), "Quavix");
    rig.box.write("usr-share/applications/player.desktop", player + "cat %f\n");

    // A list that cannot be replaced: the box names it and nothing changes.
    std::filesystem::permissions(rig.box.path("config"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
    d->cmdSet[0]->click();
    std::filesystem::permissions(rig.box.path("config"), std::filesystem::perms::owner_all);
    if (::geteuid() != 0) {
        ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
        EXPECT_NE(rig.dialogs.boxes[0].text.find(list), std::string::npos);
        EXPECT_EQ(d->lblOriginal[0]->text(), "<none>");
        EXPECT_EQ(options.get("Quavix", "OriginalAssociations", ".MP3", ""), "<none>");
        EXPECT_EQ(readText(list), before);
    }
    d->cmdCancel_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
