// The properties dialog's logic apart from its widgets: the placement sliders, the icon
// change counting and draws, and the file-type rows on the classes registry.
#include "platform/linux/DesktopClassesRegistry.h"
#include "properties/FileTypes.h"
#include "properties/IconChange.h"
#include "properties/Placement.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::MemoryOptionsStore;
using quavix::testing::Sandbox;

TEST(Placement, SplitsAndClampsStoredAdjustments)
{
    struct Case {
        long long value;
        int coarse, fine;
    };
    for (Case c : {Case{120, 0, 120},
                   {250, 250, 0},
                   {-250, -250, 0},
                   {249, 0, 249},
                   {-249, 0, -249},
                   {0, 0, 0},
                   {20000, 10000, 0},
                   {-3000000000LL, -10000, 0}}) {
        placement::Horizontal h = placement::splitHorizontal(c.value);
        EXPECT_EQ(h.coarse, c.coarse) << c.value;
        EXPECT_EQ(h.fine, c.fine) << c.value;
    }
    EXPECT_EQ(placement::combined({1000, -20}), 980);
    EXPECT_EQ(placement::vertical(300), 250);
    EXPECT_EQ(placement::vertical(-999), -250);
    EXPECT_EQ(placement::vertical(-45), -45);
}

TEST(IconChange, MinuteTicksChangeFirstAtOnceThenAfterTheDrawnLimit)
{
    Globals g;
    fakes::ScriptedRandom random;
    random.draws = {0.0, 0.5, 0.9999};
    IconDraws draws;
    std::vector<int> changedAt;
    bool works = true;
    int tick = 0;
    auto change = [&] {
        if (works)
            changedAt.push_back(tick);
        return works;
    };
    for (tick = 1; tick <= 8; ++tick)
        iconChangeTick(g, draws, random, change);
    // First tick changes (both counters 0); the limit drawn from 0.0 is 5, so 6 ticks later.
    EXPECT_EQ(changedAt, (std::vector<int>{1, 7}));
    EXPECT_EQ(g.gIconChangeLimit, 10); // 0.5 * 11 + 5
    EXPECT_EQ(g.gIconChangeTicks, 1);

    // A failed change keeps both counters: the next tick tries again.
    g.gIconChangeTicks = g.gIconChangeLimit;
    works = false;
    iconChangeTick(g, draws, random, change);
    iconChangeTick(g, draws, random, change);
    EXPECT_EQ(g.gIconChangeTicks, 10);
    EXPECT_EQ(g.gIconChangeLimit, 10);
    works = true;
    iconChangeTick(g, draws, random, change);
    EXPECT_EQ(g.gIconChangeLimit, 15);
    EXPECT_EQ(g.gIconChangeTicks, 0);
    EXPECT_EQ(random.seeds, 1);
}

namespace {
struct Rows {
    fakes::MemoryClassesRegistry registry;
    MemoryOptionsStore store;
    FileAssociations rows{registry, store};
};
} // namespace

// The plain Set and Reset of a row are driven through the dialog in the ui suite.
TEST(FileAssociations, LoadReadsBothSidesAndAnOwnedTypeRemembersQuavix)
{
    Rows r;
    r.store.put("OriginalAssociations", ".WAV", "player.desktop");
    r.registry.values[".RA"] = "Quavix";
    r.rows.load();
    EXPECT_EQ(r.rows.currentText(1), ""); // nobody owns .WAV
    EXPECT_EQ(r.rows.originalText(1), "player.desktop");
    EXPECT_FALSE(r.rows.setUsable(1));

    // Reset after Set on a type Quavix owned already leaves Quavix in place.
    ASSERT_TRUE(r.rows.fSetAssociation(4).ok);
    EXPECT_EQ(r.store.value("OriginalAssociations", ".RA"), "Quavix");
    EXPECT_EQ(r.rows.row(4).original, "Quavix");
    ASSERT_TRUE(r.rows.fResetAssociation(4).ok);
    EXPECT_EQ(r.registry.values[".RA"], "Quavix");
    EXPECT_EQ(r.store.value("OriginalAssociations", ".RA"), "<none>");
    EXPECT_TRUE(r.rows.setUsable(4));
}

TEST(FileAssociations, AFailedWriteChangesNothingAndNamesTheFile)
{
    Rows r;
    r.registry.values[".MP3"] = "vlc.desktop";
    r.rows.load();

    r.registry.failWrites = true;
    AssociationOutcome out = r.rows.fSetAssociation(0);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.file, "/registry/classes");
    EXPECT_EQ(r.store.value("OriginalAssociations", ".MP3"), "<missing>"); // nothing written
    EXPECT_EQ(r.rows.row(0).current, "vlc.desktop");
    EXPECT_EQ(r.rows.row(0).original, "<none>");

    r.registry.failWrites = false;
    r.store.failSaves = true;
    out = r.rows.fSetAssociation(0);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.file, "/options/store.ini");
    EXPECT_EQ(r.registry.values[".MP3"], "vlc.desktop");
    EXPECT_TRUE(r.rows.setUsable(0));

    // Our own entry is written first: where it cannot be, the type is not pointed at it.
    r.store.failSaves = false;
    r.registry.values.erase("Quavix");
    r.registry.failingKeys = {"Quavix"};
    out = r.rows.fSetAssociation(0);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(r.registry.values[".MP3"], "vlc.desktop");
    EXPECT_EQ(r.store.value("OriginalAssociations", ".MP3"), "<missing>");
    EXPECT_EQ(r.rows.row(0).current, "vlc.desktop");
}

TEST(FileAssociations, SharedTypesChangeTogetherAndShowApplicationNames)
{
    Sandbox box;
    box.write("usr-share/applications/player.desktop",
              "[Desktop Entry]\nName=Sound Player\nExec=sh %f\n");
    box.write("usr-share/applications/kde/tool.desktop", "[Desktop Entry]\nName=Tool\nExec=sh\n");
    box.write("usr-share/applications/mimeapps.list",
              "[Default Applications]\naudio/basic=player.desktop;\n");
    DesktopClassesRegistry registry;
    // Our entry as the first start writes it, with a program the desktop finds (the launcher
    // beside this test is not there).
    ASSERT_TRUE(registry.setValue("Quavix", "Quavix"));
    ASSERT_TRUE(registry.setValue("Quavix\\shell\\open\\command", "sh %1"));
    MemoryOptionsStore store;
    FileAssociations rows(registry, store);
    rows.load();
    const int au = 10, snd = 11;
    EXPECT_EQ(rows.currentText(au), "Sound Player");
    EXPECT_EQ(rows.currentText(snd), "Sound Player");

    ASSERT_TRUE(rows.fSetAssociation(au).ok);
    EXPECT_EQ(rows.currentText(snd), "Quavix");
    EXPECT_EQ(rows.originalText(au), "Sound Player");
    EXPECT_EQ(rows.originalText(snd), "<none>");
    ASSERT_TRUE(rows.fResetAssociation(au).ok);
    EXPECT_EQ(rows.currentText(snd), "Sound Player");

    EXPECT_EQ(registry.displayName("kde-tool.desktop"), "Tool");
    EXPECT_EQ(registry.displayName("gone.desktop"), "gone.desktop");
    EXPECT_EQ(registry.displayName(""), "");
    EXPECT_EQ(registry.location(".MP3"), box.path("config/mimeapps.list"));
}
