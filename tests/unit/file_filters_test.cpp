// The file dialogs' filters as Qt gets them from the "Name|pattern" form.
#include "engine/PlayCommands.h"
#include "platform/linux/QtDialogs.h"

#include <gtest/gtest.h>

using quavix::QtDialogs;

TEST(FileFilters, EveryFileMeansEveryFileAlsoWithoutADot)
{
    struct Case {
        std::string filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"All Files (*.*)|*.*|Playlist Files(*.pls;*.m3u)|*.pls;*.m3u",
         {"All Files (*)", "Playlist Files (*.pls *.m3u)"}},
        {quavix::PlayFileFilter,
         {"All Files (*)", "MP3 Files (*.mp3)", "Windows Sound Files (*.wav)",
          "NetShow Files (*.asf *.asx)", "RealNetwork Files (*.ra *.ram *.rm *.rmm)",
          "MIDI (*.mid *.rmi)", "Misc. Sound Files (*.au *.snd)"}},
        {"Songs|*.mp3;*.*", {"Songs (*.mp3 *)"}},
        {"Text (*.txt)|*.txt|dangling", {"Text (*.txt)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtDialogs::toQtFilters(c.filter), c.expected) << c.filter;
}
