// The song file rename window and the engine waiting on it: OK renames the file in its own
// folder and the song list builder lists it afresh; Cancel asks, No returns to the window,
// Yes ends the program; a failed rename keeps the window open.
#include "engine/SongRename.h"
#include "engine/clsMainPerformLoop.h"
#include "rename/frmResetSongFileName.h"
#include "support/Rig.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quavix;
using namespace quavix::testing;

namespace {

frmResetSongFileName* window()
{
    return dynamic_cast<frmResetSongFileName*>(resetSongFileNameIfLoaded());
}

void fill(frmResetSongFileName* w, const char* artist, const char* cd, const char* year,
          const char* title)
{
    w->txtArtist->setText(artist);
    w->txtCDName->setText(cd);
    w->txtYear->setText(year);
    w->txtSongTitle->setText(title);
}

bool runEngine()
{
    try {
        clsMainPerformLoop().fPerformPlaySongs();
    } catch (const fakes::ProgramEnded&) {
        return true;
    }
    return false;
}

// The engine with one badly named song and one good one; `user` acts on the window at
// each event pump while it is shown (and not re-entered from inside its own handlers).
struct RenameStation {
    Rig box;
    std::string folder = box.addFolder("Rock");
    std::string bad = box.addSong(folder, "Artist-Album-1999-Re-Entry-3_10.mp3", 2.4);
    std::string good = box.addSong(folder, "Zed - Disc - 2000 - Last - 0_01.mp3", 1);
    std::string renamed = folder + "Artist - Album - 1999 - Reentry - 0_2.mp3";
    std::vector<std::string> shownNames;
    std::vector<std::string> listsWhileShown; // the song list file as the window waits
    int pumpsWhileShown = 0;

    explicit RenameStation(std::function<void(frmResetSongFileName*, int)> user)
    {
        installResetSongFileName();
        box.media.addItem(renamed, 2.4);
        box.process.onEvents = [this, user, busy = false]() mutable {
            box.media.deliverEvents();
            frmResetSongFileName* w = window();
            if (busy || !w || !w->isVisible())
                return;
            busy = true;
            shownNames.push_back(w->txtCurrentName->text().toStdString());
            listsWhileShown.push_back(box.readList());
            EXPECT_TRUE(globals().gStopPlay);
            user(w, ++pumpsWhileShown);
            busy = false;
        };
    }
    ~RenameStation() { unloadResetSongFileName(); }
};

} // namespace

TEST(RenameWindow, NewNameFromTheFields)
{
    SongRenameFields f{"Artist", "Album", "1999", "Song"};
    EXPECT_EQ(buildSongFileName(f, 245.4), "Artist - Album - 1999 - Song - 4_5.mp3");
    EXPECT_EQ(buildSongFileName(f, 0), "Artist - Album - 1999 - Song - 0_0.mp3");
    EXPECT_EQ(buildSongFileName(f, 60.5), "Artist - Album - 1999 - Song - 1_0.mp3"); // to even
    EXPECT_EQ(buildSongFileName({}, 3), " -  -  -  - 0_3.mp3");
    EXPECT_EQ(buildSongFileName({" a ", "b", "c", "d"}, -1.0 / 0.0), " a  - b - c - d - 0_0.mp3");
}

TEST(RenameWindow, RenameStaysInItsFolderAndNeverOverwrites)
{
    Sandbox dir;
    const std::string old = dir.write("old.mp3", "song");
    dir.write("taken.mp3", "another song");

    EXPECT_NE(renameSongFile(old, "taken.mp3").find("already exists"), std::string::npos);
    EXPECT_EQ(readText(dir.path("taken.mp3")), "another song");
    EXPECT_NE(renameSongFile(old, "A/B - x - 1 - y - 0_1.mp3").find("\"/\""), std::string::npos);
    EXPECT_NE(renameSongFile(dir.path("gone.mp3"), "new.mp3").find("no longer exists"),
              std::string::npos);
    EXPECT_EQ(renameSongFile(old, "new.mp3"), "");
    EXPECT_EQ(readText(dir.path("new.mp3")), "song");
    EXPECT_FALSE(fs::exists(old));
}

TEST(RenameWindow, OkRenamesReleasesTheBuilderAndTheSecondPassListsTheNewName)
{
    RenameStation station([](frmResetSongFileName* w, int pump) {
        if (pump == 3) {
            fill(w, "Artist", "Album", "1999", "Reentry");
            w->cmdOK->click();
        }
    });
    station.box.writeList({"yesterday.mp3"});
    EXPECT_TRUE(runEngine()); // ends at the end of the list
    Rig& box = station.box;
    // The list is replaced whole once made: while the window waits it is the old one.
    EXPECT_EQ(station.listsWhileShown, std::vector<std::string>(3, "yesterday.mp3\r\n"));

    EXPECT_EQ(station.pumpsWhileShown, 3);
    EXPECT_EQ(station.shownNames.front(), "Artist-Album-1999-Re-Entry-3_10.mp3");
    EXPECT_FALSE(fs::exists(station.bad));
    EXPECT_TRUE(fs::exists(station.renamed));
    EXPECT_EQ(resetSongFileNameIfLoaded(), nullptr); // the builder unloaded it after its pass
    EXPECT_EQ(box.readList(), station.renamed + "\r\n" + station.good + "\r\n");
    // Measured once, then the songs of the second pass's list, in order.
    EXPECT_EQ(box.media.opened,
              (std::vector<std::string>{station.bad, "", station.renamed, station.good}));
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
}

TEST(RenameWindow, CancelThenNoReturnsToTheWindowAndAFailedRenameKeepsItOpen)
{
    RenameStation station([&](frmResetSongFileName* w, int pump) {
        if (pump == 1) {
            fill(w, "Artist", "Album", "1999", "Reentry");
            w->cmdCancel_Click(); // answered No
        } else if (pump == 2) {
            EXPECT_EQ(w->txtArtist->text(), "Artist"); // nothing changed
            w->txtSongTitle->setText("AC/DC");
            w->cmdOK_Click(); // refused: "/" in a field
        } else if (pump == 3) {
            w->txtSongTitle->setText("Reentry");
            w->cmdOK_Click();
        }
    });
    Rig& box = station.box;
    box.dialogs.answers = {MsgAnswer::No};
    EXPECT_TRUE(runEngine());

    EXPECT_EQ(station.pumpsWhileShown, 3);
    ASSERT_EQ(box.dialogs.boxes.size(), 3u);
    EXPECT_EQ(
        box.dialogs.titles(),
        (std::vector<std::string>{"Cancel Rename", "Reset Song File Name", "End Of Play List"}));
    EXPECT_EQ(box.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_NE(box.dialogs.boxes[1].text.find("\"/\""), std::string::npos);
    EXPECT_TRUE(fs::exists(station.renamed));
}

TEST(RenameWindow, CancelThenYesOrClosingTheMainWindowEndsTheProgramWithoutRenaming)
{
    const std::pair<const char*, void (*)(frmResetSongFileName*)> cases[] = {
        {"Cancel, then Yes",
         [](frmResetSongFileName* w) {
             fill(w, "Artist", "Album", "1999", "Reentry");
             w->cmdCancel_Click();
         }},
        {"main window closed",
         [](frmResetSongFileName* w) {
             w->hide();                     // closed by the window manager: the engine waits...
             globals().gExitProgram = true; // ...until the main window closes
         }},
    };
    for (auto [what, act] : cases) {
        RenameStation station([act](frmResetSongFileName* w, int) { act(w); });
        station.box.dialogs.answers = {MsgAnswer::Yes};
        EXPECT_TRUE(runEngine()) << what;
        EXPECT_EQ(station.pumpsWhileShown, 1) << what;
        EXPECT_TRUE(fs::exists(station.bad) && !fs::exists(station.renamed)) << what;
        EXPECT_TRUE(station.box.media.opened.empty()) << what;
    }
}
