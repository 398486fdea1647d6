// The properties dialog against fakes, with the real main window as its host: loading,
// tabs, OK and Cancel, own pictures, the File Types rows, and the icon changes.
#include "mainwindow/Form1.h"
#include "properties/IconSet.h"
#include "properties/frmProperties.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

QImage shown(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage builtIn(int i)
{
    return shown(IconSet::icon(i));
}

class PropertiesTest : public ::testing::Test, protected quavix::testing::FormRig {
protected:
    fakes::ScriptedDialogs& dialogs = rig.dialogs;

    void SetUp() override
    {
        rig.process.onEvents = [this] { rig.media.deliverEvents(); };
    }
    void TearDown() override
    {
        if (frmProperties* d = frmProperties::loaded())
            d->cmdCancel_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Form1& loadForm() { return load(true); }
    frmProperties& open()
    {
        loadForm().mnuProperties->trigger();
        return *frmProperties::loaded();
    }
    // A 16 x 16 icon file of one colour.
    std::string icoFile(const std::string& name, QColor colour)
    {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        std::string path = rig.box.path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "ICO"));
        return path;
    }
    std::string stored(const std::string& section, const std::string& key)
    {
        return rig.options.value(section, key);
    }
};

TEST_F(PropertiesTest, LoadFillsEveryControlAndShowsOnePage)
{
    rig.options.putAll("Options", {"ImageIndex=5", "RandomSelectIconWhileRunning=0",
                                   "ChangeIconAfterFile=1", "RandomSelectIconAtStartup=1"});
    rig.options.put("Icons", "3", rig.box.path("gone.ico"));
    rig.options.put("Icons", "4", rig.box.write("broken.ico", "not a picture"));
    rig.options.put("Icons", "6", icoFile("red.ico", Qt::red));
    globals().gAdjustFontLeftRight = 300; // how the sliders split it is the unit tests'
    globals().gAdjustFontUpDown = -400;
    frmProperties& d = open();
    EXPECT_EQ(d.sliderProgramPlacementHorzCoarse->value(), 300);
    EXPECT_EQ(d.txtProgramPlacementVert->text(), "-250");

    EXPECT_TRUE(d.optImageToUse[5]->isChecked());
    EXPECT_TRUE(d.chkRandomSelectStartUp->isChecked());
    EXPECT_TRUE(d.chkChangeIconAfterFile->isChecked() && !d.chkChangeIconAfterFile->isEnabled());
    d.chkRandomChangeWhileRunning->click();
    EXPECT_TRUE(d.chkChangeIconAfterFile->isEnabled());

    // Missing and unreadable pictures fall back to the built-in ones without a word.
    EXPECT_EQ(shown(d.picture(3)), builtIn(3));
    EXPECT_EQ(shown(d.picture(4)), builtIn(4));
    EXPECT_EQ(shown(d.picture(6)).pixelColor(8, 8), QColor(Qt::red));
    EXPECT_TRUE(dialogs.boxes.empty());

    EXPECT_TRUE(d.picIcons->isVisibleTo(&d));
    EXPECT_FALSE(d.picAlignment->isVisibleTo(&d) || d.picFileTypes->isVisibleTo(&d));
    d.tabProperties->setCurrentIndex(2);
    EXPECT_TRUE(d.picFileTypes->isVisibleTo(&d));
    EXPECT_FALSE(d.picIcons->isVisibleTo(&d) || d.picAlignment->isVisibleTo(&d));

    // Laid out in twips as designed (15 to the pixel here): the bar and its buttons, the
    // tab strip from the outer width, the pages inside it.
    auto in = [&d](QWidget* w) { return QRect(w->mapTo(&d, QPoint(0, 0)), w->size()); };
    EXPECT_EQ(d.size(), QSize(473, 455));
    EXPECT_EQ(in(d.Toolbar1), QRect(0, 455 - 28, 473, 28));
    EXPECT_EQ(in(d.cmdOK), QRect(288, 455 - 28 + 1, 73, 25));
    EXPECT_EQ(in(d.cmdCancel), QRect(368, 455 - 28 + 1, 73, 25));
    const int strip = (d.frameGeometry().width() * 15 - 120 + 7) / 15;
    EXPECT_EQ(in(d.tabProperties).topLeft(), QPoint(1, 1));
    EXPECT_EQ(in(d.tabProperties).width(), strip);
    for (QWidget* page : {d.picIcons, d.picAlignment, d.picFileTypes})
        EXPECT_EQ(in(page), QRect(1 + 8, 1 + 28, strip - 16, 455 - 28 - 8 - 37));
}

TEST_F(PropertiesTest, OkAsksThenAppliesEverythingAndCancelOrCloseStoreNothing)
{
    frmProperties& d = open();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(d.isVisible());
    d.sliderProgramPlacementHorzCoarse->setValue(1000);
    d.sliderProgramPlacementHorz->setValue(-20);
    d.sliderProgramPlacementVert->setValue(30);
    d.chkRandomChangeWhileRunning->click();
    d.optImageToUse[7]->setChecked(true);

    dialogs.answers = {MsgAnswer::No};
    d.cmdOK_Click();
    EXPECT_EQ(dialogs.boxes.back().buttons, MsgButtons::YesNo);
    EXPECT_EQ(frmProperties::loaded(), &d);
    EXPECT_EQ(stored("Options", "ImageIndex"), "<missing>");

    rig.options.saves.clear();
    tray.calls.clear();
    dialogs.answers = {MsgAnswer::Yes};
    d.cmdOK->click();
    EXPECT_EQ(frmProperties::loaded(), nullptr);
    EXPECT_EQ(rig.options.saves.size(), 8u);
    EXPECT_EQ(
        rig.options.listed("Options", {"ImageIndex", "AdjustForScreenFontSizeLeftRight",
                                       "AdjustForScreenFontSizeUpDown", "AdjustIconUpDown",
                                       "AdjustIconLeftRight", "RandomSelectIconAtStartup",
                                       "RandomSelectIconWhileRunning", "ChangeIconAfterFile"}),
        "7|980|30|0|0|0|1|0");
    EXPECT_EQ(globals().gAdjustFontLeftRight, 980);
    EXPECT_TRUE(globals().gRandomIconWhileRunning);
    // The icon in all three places, the timers running again.
    EXPECT_EQ(form->mImageIndex, 7);
    EXPECT_EQ(form->Image1->pixmap().toImage(), IconSet::pixmap(7, 16).toImage());
    EXPECT_EQ(shown(form->windowIcon()), builtIn(7));
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].first, Tray::Modify);
    EXPECT_TRUE(form->Timer1->isActive() && form->timerChangeIcon->isActive());

    // Change only between songs: the minute timer stops.
    frmProperties& again = open();
    EXPECT_TRUE(again.chkRandomChangeWhileRunning->isChecked());
    again.chkChangeIconAfterFile->click();
    dialogs.answers = {MsgAnswer::Yes};
    again.cmdOK_Click();
    EXPECT_FALSE(form->timerChangeIcon->isActive());

    // Cancel and the title bar's close store nothing and let the strip move again.
    for (bool viaClose : {false, true}) {
        rig.options.saves.clear();
        frmProperties& d2 = open();
        d2.sliderProgramPlacementVert->setValue(-100);
        viaClose ? (void)d2.close() : d2.cmdCancel->click();
        EXPECT_EQ(frmProperties::loaded(), nullptr) << viaClose;
        EXPECT_TRUE(form->Timer1->isActive()) << viaClose;
        EXPECT_TRUE(rig.options.saves.empty()) << viaClose;
    }
}

TEST_F(PropertiesTest, AnIconThatCannotServeStopsOkWithImageError)
{
    frmProperties& d = open();
    d.optImageToUse[2]->setIcon(QIcon());
    d.optImageToUse[2]->setChecked(true);
    tray.calls.clear();
    dialogs.answers = {MsgAnswer::Yes};
    d.cmdOK_Click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].title, "Image Error");
    EXPECT_EQ(frmProperties::loaded(), &d);
    EXPECT_EQ(stored("Options", "ImageIndex"), "<missing>");
    EXPECT_EQ(stored("Options", "AdjustForScreenFontSizeUpDown"), "<missing>");
    EXPECT_TRUE(tray.calls.empty());
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(PropertiesTest, OwnPicturesAreStoredAtOnceAndFallBackOnCancel)
{
    const std::string blue = icoFile("blue.ico", Qt::blue);
    rig.options.put("Icons", "0", blue);
    frmProperties& d = open();
    ASSERT_EQ(shown(d.picture(0)).pixelColor(8, 8), QColor(Qt::blue));

    // Cancel in the file dialog: the built-in picture shows, the stored one stays.
    d.optImageToUse[0]->setChecked(true);
    d.cmdChangeIcon->click();
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(shown(d.picture(0)), builtIn(0));
    EXPECT_EQ(stored("Icons", "0"), blue);

    // The right button on a choice opens the menu for that choice.
    QTest::mouseClick(d.optImageToUse[9], Qt::RightButton);
    EXPECT_EQ(d.mi_SelectedImage, 9);
    EXPECT_TRUE(d.mnuPopUp->isVisible());
    d.mnuPopUp->hide();
    EXPECT_FALSE(d.optImageToUse[9]->isChecked());
    const std::string green = icoFile("green.ico", Qt::green);
    dialogs.fileAnswers = {green, rig.box.write("text.ico", "text")};
    d.mnuChangeImage->trigger();
    EXPECT_EQ(stored("Icons", "9"), green);
    EXPECT_EQ(shown(d.picture(9)).pixelColor(8, 8), QColor(Qt::green));
    d.mnuChangeImage->trigger(); // a file that is no picture
    EXPECT_EQ(shown(d.picture(9)), builtIn(9));
    EXPECT_EQ(stored("Icons", "9"), green);
    EXPECT_TRUE(dialogs.boxes.empty());

    d.mnuResetToDefault->trigger();
    EXPECT_EQ(stored("Icons", "9"), "<none>");
    d.cmdCancel_Click();
    EXPECT_EQ(stored("Icons", "9"), "<none>"); // Cancel does not undo it
}

TEST_F(PropertiesTest, FileTypeRowsSetResetAndReportFailedWrites)
{
    classes.values[".MP3"] = "other.desktop";
    frmProperties& d = open();
    // Current, original, Set usable, Reset usable.
    auto row = [&] {
        return d.lblCurrent[0]->text().toStdString() + "|" +
               d.lblOriginal[0]->text().toStdString() + "|" +
               std::to_string(d.cmdSet[0]->isEnabled()) +
               std::to_string(d.cmdReset[0]->isEnabled());
    };
    EXPECT_EQ(row(), "other.desktop|<none>|10");
    d.cmdSet[0]->click();
    EXPECT_EQ(row(), "Quavix|other.desktop|01");

    classes.failWrites = true;
    d.cmdReset[0]->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("/registry/classes"), std::string::npos);
    EXPECT_EQ(row(), "Quavix|other.desktop|01");

    classes.failWrites = false;
    d.cmdReset[0]->click();
    EXPECT_EQ(classes.values[".MP3"], "other.desktop");
    EXPECT_EQ(row(), "other.desktop|<none>|10");
    // The dialog's Cancel keeps what Set and Reset did.
    d.cmdSet[0]->click();
    d.cmdCancel_Click();
    EXPECT_EQ(classes.values[".MP3"], "Quavix");
}

TEST_F(PropertiesTest, IconChangesReachAllThreePlacesAndSpareAnOpenDialog)
{
    rig.options.putAll("Options", {"RandomSelectIconWhileRunning=1", "ChangeIconAfterFile=0"});
    Form1& f = loadForm();
    ASSERT_TRUE(f.timerChangeIcon->isActive());
    tray.calls.clear();
    rig.random.draws = {11.5 / 24, 0.0};
    f.timerChangeIcon_Timer();
    EXPECT_EQ(f.mImageIndex, 11);
    EXPECT_EQ(stored("Options", "ImageIndex"), "11");
    EXPECT_EQ(shown(f.windowIcon()), builtIn(11));
    EXPECT_EQ(tray.calls.size(), 1u);

    // With the dialog open, its current pictures are used and it stays open with its edits.
    f.mnuProperties->trigger();
    frmProperties* d = frmProperties::loaded();
    d->optImageToUse[3]->setIcon(QIcon()); // a picture that cannot serve
    d->sliderProgramPlacementVert->setValue(40);
    globals().gIconChangeTicks = globals().gIconChangeLimit;
    rig.random.draws = {3.5 / 24};
    f.timerChangeIcon_Timer();
    ASSERT_EQ(dialogs.titles(), std::vector<std::string>{"Image Error"});
    EXPECT_EQ(f.mImageIndex, 11);
    EXPECT_EQ(globals().gIconChangeTicks, 5); // counters kept: the next tick tries again
    d->optImageToUse[3]->setIcon(QIcon(IconSet::pixmap(20, 16)));
    f.timerChangeIcon_Timer();
    EXPECT_EQ(f.mImageIndex, 3);
    EXPECT_EQ(shown(f.windowIcon()), shown(IconSet::icon(20)));
    EXPECT_EQ(frmProperties::loaded(), d);
    EXPECT_EQ(d->sliderProgramPlacementVert->value(), 40);
    EXPECT_EQ(rig.random.seeds, 1);
}

TEST_F(PropertiesTest, AfterFileTriggerChangesTheIconOncePerFinishedFile)
{
    rig.options.putAll("Options", {"RandomSelectIconWhileRunning=1", "ChangeIconAfterFile=1"});
    Form1& f = loadForm();
    EXPECT_FALSE(f.timerChangeIcon->isActive());
    rig.writeList(rig.songs(2, 2.0));
    globals().gPlayingPlayList = true;
    rig.random.draws = {1.0 / 24 + 0.001, 2.0 / 24 + 0.001};
    rig.options.saves.clear();
    PlayListPlayer::run();
    int changes = 0;
    for (const auto& k : rig.options.saves)
        changes += std::get<2>(k) == "ImageIndex";
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(f.mImageIndex, 2);
    EXPECT_EQ(globals().gIconChangeTicks, 0);
    EXPECT_EQ(rig.random.seeds, 1);
}

} // namespace

// The strip's first picture comes from the table drawn at build time: each entry must be the
// drawing of its own index, as the image plugin draws it.
TEST(IconSetTest, TheBuildTimePicturesAreTheDrawingsInTheirOrder)
{
    for (int i = 0; i < IconSet::Count; ++i) {
        QImageReader reader(IconSet::resourcePath(i));
        reader.setScaledSize(QSize(16, 16));
        const QImage drawn = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(drawn.isNull()) << i;
        EXPECT_EQ(IconSet::pixmap(i, 16).toImage().convertToFormat(drawn.format()), drawn) << i;
    }
}
