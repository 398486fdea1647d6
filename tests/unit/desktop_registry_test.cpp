#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/posix/DesktopFiles.h"
#include "support/Rig.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    box.write("usr-share/applications/vlc.desktop", "[Desktop Entry]\nName=VLC\nExec=sh %f\n");
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

    ASSERT_TRUE(reg.setValue("Quavix", "Quavix"));                      // installs quavix.desktop
    ASSERT_TRUE(reg.setValue("Quavix\\shell\\open\\command", "sh %1")); // with a program
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

// Most desktops keep the default in the caches the installed applications fill, not in a
// mimeapps.list; what xdg-mime answers must be what the File Types page shows and restores.
TEST(DesktopClassesRegistry, DefaultsFromTheDesktopsCachesAsXdgMimeResolvesThem)
{
    Sandbox box;
    DesktopClassesRegistry reg;
    for (const char* app : {"vlc.desktop", "mpv.desktop", "audacious.desktop", "kde/juk.desktop"})
        box.write(std::string("usr-share/applications/") + app,
                  "[Desktop Entry]\nName=A\nExec=sh %f\n");
    box.write("usr-share/applications/mimeinfo.cache",
              "[MIME Cache]\naudio/mpeg=gone.desktop;mpv.desktop;vlc.desktop;\n"
              "audio/x-wav=vlc.desktop;mpv.desktop;\naudio/basic=kde-juk.desktop;\n");
    EXPECT_EQ(reg.queryValue(".mp3"), "mpv.desktop"); // first installed of the cache
    EXPECT_EQ(reg.queryValue(".au"), "kde-juk.desktop");

    // A removed association gives way to the next; an added one comes before the cache.
    box.write("config/mimeapps.list", "[Removed Associations]\naudio/x-wav=vlc.desktop;\n"
                                      "[Added Associations]\naudio/mpeg=audacious.desktop;\n");
    EXPECT_EQ(reg.queryValue(".wav"), "mpv.desktop");
    EXPECT_EQ(reg.queryValue(".mp3"), "audacious.desktop");
    // The older defaults.list comes before every association.
    box.write("usr-share/applications/defaults.list",
              "[Default Applications]\naudio/mpeg=vlc.desktop\n");
    EXPECT_EQ(reg.queryValue(".mp3"), "vlc.desktop");
    // Reset gives the type back by name: nothing of ours is left in the user's list.
    ASSERT_TRUE(reg.setValue(".MP3", "Quavix"));
    ASSERT_TRUE(reg.setValue(".MP3", "<none>"));
    EXPECT_EQ(reg.queryValue(".mp3"), "vlc.desktop");
}

// xdg-mime counts a default only while its program is there; without one it takes the
// entry that lists the type, so a player whose program is gone leaves the type to Quavix.
TEST(DesktopClassesRegistry, ADefaultWhoseProgramIsGoneOwnsNothing)
{
    Sandbox box;
    DesktopClassesRegistry reg;
    const std::string gone =
        box.write("usr-share/applications/gone.desktop",
                  "[Desktop Entry]\nName=G\nExec=\"" + box.path("bin/gone") + "\" %f\n");
    box.write("usr-share/applications/low.desktop",
              "[Desktop Entry]\nName=L\nExec=sh\nMimeType=audio/basic;audio/midi;\n");
    box.write("usr-share/applications/kde/high.desktop",
              "[Desktop Entry]\nName=H\nExec=sh\nMimeType=audio/midi;\nInitialPreference=3\n");
    box.write("config/mimeapps.list", "[Default Applications]\naudio/mpeg=gone.desktop;\n"
                                      "[Added Associations]\naudio/mpeg=gone.desktop;\n");
    EXPECT_EQ(reg.queryValue(".mp3"), std::nullopt);
    EXPECT_EQ(reg.queryValue(".au"), "low.desktop");
    EXPECT_EQ(reg.queryValue(".mid"), "high.desktop"); // the higher preference

    ASSERT_TRUE(reg.setValue("Quavix", "Quavix")); // its entry lists every type
    EXPECT_EQ(reg.queryValue(".mp3"), "Quavix");
    EXPECT_EQ(reg.queryValue(".au"), "Quavix"); // the user's folder comes first
    std::filesystem::create_directories(box.path("bin"));
    box.write("bin/gone", "#!/bin/sh\n");
    std::filesystem::permissions(box.path("bin/gone"), std::filesystem::perms::owner_all);
    EXPECT_EQ(reg.queryValue(".mp3"), "gone.desktop"); // back with its program
    EXPECT_TRUE(quavix::desktop::entryProgramFound(gone));
}

// Other programs own these files: a FIFO in their place must not block the dialog, and one
// that cannot be read whole is never replaced by what could be read.
TEST(DesktopClassesRegistry, FilesItCannotReadWholeAreLeftAlone)
{
    Sandbox box;
    DesktopClassesRegistry reg;
    std::filesystem::create_directories(box.path("config"));
    ASSERT_EQ(::mkfifo(box.path("config/mimeapps.list").c_str(), 0600), 0);
    EXPECT_EQ(reg.queryValue(".mp3"), std::nullopt); // returns at once
    EXPECT_FALSE(reg.setValue(".MP3", "Quavix"));
    EXPECT_EQ(quavix::desktop::readLines(box.path("config/mimeapps.list")), std::nullopt);
    std::filesystem::remove(box.path("config/mimeapps.list"));

    std::string big = "[Default Applications]\naudio/mpeg=x.desktop;\n";
    big += std::string(quavix::desktop::MaxBytes, '#');
    std::string file = box.write("config/mimeapps.list", big);
    EXPECT_FALSE(reg.setValue(".MP3", "Quavix"));
    EXPECT_EQ(readText(file), big);
    EXPECT_EQ(quavix::desktop::readLines(box.path("config/none.list")),
              std::vector<std::string>{}); // missing: empty, and writable
    EXPECT_EQ(quavix::desktop::readLines(box.write("crlf", "a\r\n\r\nb")),
              (std::vector<std::string>{"a", "", "b"}));
}
