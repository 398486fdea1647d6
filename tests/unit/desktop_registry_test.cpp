#include "platform/linux/DesktopClassesRegistry.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using quavix::DesktopClassesRegistry;
using quavix::testing::readText;
using quavix::testing::Sandbox;

TEST(DesktopClassesRegistry, ClassKeyIsTheDesktopEntry)
{
    Sandbox box;
    DesktopClassesRegistry reg;
    EXPECT_EQ(reg.queryValue("Quavix"), std::nullopt);
    EXPECT_EQ(reg.queryValue("Quavix\\shell\\open\\command"), std::nullopt);

    const std::string command = "\"/opt/my apps/say \\\"hi\\\" 100%/quavix\" %1";
    ASSERT_TRUE(reg.setValue("Quavix", "Quavix"));
    ASSERT_TRUE(reg.setValue("Quavix\\shell\\open\\command", command));
    EXPECT_EQ(reg.queryValue("QUAVIX"), "Quavix");
    EXPECT_EQ(reg.queryValue("quavix\\Shell\\Open\\Command"), command);

    std::string entry = readText(box.path("data/applications/quavix.desktop"));
    // Quoted per the desktop entry rules, then string-escaped: \" becomes \\".
    EXPECT_NE(entry.find("\nExec=\"/opt/my apps/say \\\\\"hi\\\\\" 100%%/quavix\" %f\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("MimeType=audio/mpeg;audio/x-wav;"), std::string::npos);
    EXPECT_NE(entry.find("audio/basic;\n"), std::string::npos);

    // Renaming the class keeps the command, and the reverse.
    ASSERT_TRUE(reg.setValue("Quavix", "Quavix Player"));
    EXPECT_EQ(reg.queryValue("Quavix\\shell\\open\\command"), command);
    EXPECT_EQ(reg.queryValue("Quavix"), "Quavix Player");

    EXPECT_FALSE(reg.setValue("Quavix\\shell\\open\\command", "\"unterminated %1"));
    EXPECT_EQ(reg.queryValue("Quavix\\shell\\open\\command"), command);
    EXPECT_EQ(DesktopClassesRegistry::execValue("plain %1"), "plain %f");
}

TEST(DesktopClassesRegistry, ExtensionKeysFollowMimeApps)
{
    Sandbox box;
    DesktopClassesRegistry reg;
    box.write("usr-share/applications/vlc.desktop", "[Desktop Entry]\nName=VLC\n");
    box.write("usr-share/applications/mimeapps.list",
              "[Default Applications]\naudio/mpeg=missing.desktop;vlc.desktop;\n");
    const std::string user = "# keep me\n"
                             "[Added Associations]\n"
                             "audio/mpeg=other.desktop;\n"
                             "\n"
                             "[Default Applications]\n"
                             "text/html=firefox.desktop\n";
    std::string userFile = box.write("config/mimeapps.list", user);

    EXPECT_EQ(reg.queryValue(".mp3"), "vlc.desktop"); // first installed one, system file
    EXPECT_EQ(reg.queryValue(".WAV"), std::nullopt);
    EXPECT_EQ(reg.queryValue(".XYZ"), std::nullopt);
    EXPECT_FALSE(reg.setValue(".XYZ", "Quavix"));

    ASSERT_TRUE(reg.setValue("Quavix", "Quavix")); // installs quavix.desktop
    ASSERT_TRUE(reg.setValue(".MP3", "Quavix"));
    EXPECT_EQ(reg.queryValue(".MP3"), "Quavix");
    EXPECT_EQ(readText(userFile), "# keep me\n"
                                  "[Added Associations]\n"
                                  "audio/mpeg=other.desktop;\n"
                                  "\n"
                                  "[Default Applications]\n"
                                  "audio/mpeg=quavix.desktop;\n"
                                  "text/html=firefox.desktop\n");

    ASSERT_TRUE(reg.setValue(".AU", "Quavix")); // .SND has the same type
    EXPECT_EQ(reg.queryValue(".snd"), "Quavix");

    ASSERT_TRUE(reg.setValue(".MP3", "vlc.desktop"));
    EXPECT_EQ(reg.queryValue(".MP3"), "vlc.desktop");
    ASSERT_TRUE(reg.setValue(".MP3", "<none>"));
    ASSERT_TRUE(reg.setValue(".AU", ""));
    EXPECT_EQ(readText(userFile), user);
    EXPECT_EQ(reg.queryValue(".MP3"), "vlc.desktop"); // the system default shows again
}
