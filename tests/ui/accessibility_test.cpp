// Every window as a screen reader sees it (the toolkit's accessibility tree, what AT-SPI
// carries), and the keyboard's way through the strip and the dialogs.
#include "about/frmAbout.h"
#include "openlocation/frmOpenLocation.h"
#include "playlist/frmPlayList.h"
#include "properties/frmProperties.h"
#include "rename/frmResetSongFileName.h"
#include "startup/widgets/MMControlBar.h"
#include "support/FormRig.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

using namespace quavix;

namespace {

bool interactive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Slider:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

// What a screen reader could not use: a visible control without a name, two controls of
// one kind with the same name (which of the twelve "Set" buttons?), and a visible element
// that takes the keyboard but says it is nothing but a container.
void faultsIn(QAccessibleInterface* node, const QString& where, QStringList& faults,
              QSet<QString>& seen)
{
    if (!node || !node->isValid())
        return;
    const QAccessible::State state = node->state();
    if (state.invisible || state.offscreen)
        return;
    const QString name = node->text(QAccessible::Name).trimmed();
    const QString at = where + "/" + QString::number(node->role(), 16) + ":" +
                       (node->object() ? node->object()->objectName() : QString("-"));
    if (interactive(node->role()) && name.isEmpty())
        faults << at + " has no name";
    const QString kindAndName = QString::number(node->role()) + ":" + name;
    if (interactive(node->role()) && !name.isEmpty() && seen.contains(kindAndName))
        faults << at + " has the name of another: " + name;
    seen.insert(kindAndName);
    if (state.focusable &&
        (node->role() == QAccessible::Client || node->role() == QAccessible::NoRole))
        faults << at + " takes the keyboard but has no role";
    for (int i = 0; i < node->childCount(); ++i)
        faultsIn(node->child(i), at, faults, seen);
}

QStringList faultsOf(QWidget* window)
{
    QStringList faults;
    QSet<QString> seen;
    faultsIn(QAccessible::queryAccessibleInterface(window), window->objectName(), faults, seen);
    return faults;
}

class Accessibility : public ::testing::Test, protected quavix::testing::FormRig {
protected:
    void TearDown() override
    {
        if (auto* f = frmPlayList::loaded())
            f->mnuFileClose_Click();
        if (auto* d = frmProperties::loaded())
            d->cmdCancel_Click();
        if (auto* d = frmOpenLocation::loaded())
            d->cmdCancel_Click();
        if (auto* d = frmAbout::loaded())
            d->cmdOK_Click();
        unloadResetSongFileName();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

// One walk over every window: catches the next control added without a name too.
namespace {
QAction* firstEnabled(QMenu* menu)
{
    for (QAction* a : menu->actions())
        if (a->isEnabled() && a->isVisible() && !a->isSeparator())
            return a;
    return nullptr;
}
} // namespace

TEST_F(Accessibility, EveryVisibleControlOfEveryWindowHasANameAndARole)
{
    Form1& strip = load(true);
    strip.mnuShowSlider->trigger();
    strip.mnuShowStatusInformation->trigger();
    strip.mnuShowControls->trigger();
    strip.show();
    EXPECT_EQ(faultsOf(&strip), QStringList());

    rig.writeList({"a.mp3", "b.mp3"});
    auto* editor = frmPlayList::instance();
    editor->show();
    EXPECT_EQ(faultsOf(editor), QStringList());

    strip.mnuProperties->trigger();
    auto* properties = frmProperties::loaded();
    ASSERT_TRUE(properties);
    for (int tab = 0; tab < 3; ++tab) {
        properties->tabProperties->setCurrentIndex(tab);
        EXPECT_EQ(faultsOf(properties), QStringList()) << "tab " << tab;
    }
    EXPECT_EQ(properties->optImageToUse[23]->accessibleName(), "Icon 24");
    EXPECT_EQ(properties->cmdSet[0]->accessibleName(), "Set MP3 Files (*.mp3)");
    EXPECT_EQ(properties->cmdReset[0]->accessibleName(), "Reset MP3 Files (*.mp3)");
    // The texts the program shows stay as they are; names are added, not swapped in.
    EXPECT_EQ(properties->Frame1->title(), "Select Image To  Use");

    auto* location = frmOpenLocation::instance();
    location->show();
    EXPECT_EQ(faultsOf(location), QStringList());

    auto* about = frmAbout::instance();
    about->showWith("Quavix", QPixmap(16, 16));
    EXPECT_EQ(faultsOf(about), QStringList());

    installResetSongFileName();
    auto* rename = dynamic_cast<QWidget*>(&loadResetSongFileName());
    ASSERT_TRUE(rename);
    rename->show();
    EXPECT_EQ(faultsOf(rename), QStringList());
}

// The painted transport bar reads as nine buttons named after their commands, pressed by
// the reader's action; the icon is the menu button; the status text names what plays.
TEST_F(Accessibility, TheStripReadsAsItsCommands)
{
    Form1& strip = load(true);
    strip.mnuShowStatusInformation->trigger();
    strip.mnuShowControls->trigger();
    strip.mnuShowSlider->trigger();
    strip.show();

    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(strip.MMControl1);
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->childCount(), 9);
    QStringList names;
    for (int i = 0; i < 9; ++i) {
        QAccessibleInterface* button = bar->child(i);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->parent(), bar);
        EXPECT_EQ(button->state().disabled,
                  !strip.MMControl1->buttonEnabled(static_cast<Button>(i)));
        names << button->text(QAccessible::Name);
    }
    EXPECT_EQ(names, QStringList({"Previous", "Next", "Play", "Pause", "Back", "Step", "Stop",
                                  "Record", "Eject"}));
    EXPECT_FALSE(bar->child(8)->text(QAccessible::Description).isEmpty());
    int stops = 0;
    QObject::connect(strip.MMControl1, &MMControlBar::stopClicked, [&] { ++stops; });
    strip.MMControl1->state().applyPlayListStart();
    strip.MMControl1->stateChanged();
    ASSERT_FALSE(bar->child(6)->state().disabled);
    bar->child(6)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(stops, 1);

    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(strip.Slider1);
    EXPECT_EQ(slider->text(QAccessible::Name), "Position");
    ASSERT_TRUE(slider->valueInterface());
    EXPECT_EQ(slider->valueInterface()->currentValue().toInt(), strip.Slider1->value());

    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(strip.MediaPlayer1View);
    EXPECT_EQ(status->role(), QAccessible::StaticText);
    EXPECT_TRUE(status->text(QAccessible::Name).startsWith("Stopped"))
        << status->text(QAccessible::Name).toStdString();

    QAccessibleInterface* icon = QAccessible::queryAccessibleInterface(strip.Image1);
    EXPECT_EQ(icon->role(), QAccessible::Button);
    EXPECT_EQ(icon->text(QAccessible::Name), "Quavix menu");
    icon->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.popUpMenu()->isVisible(); }));
    // A reader announces the item that has the focus: without one it says nothing.
    EXPECT_EQ(strip.popUpMenu()->activeAction(), firstEnabled(strip.popUpMenu()));
    strip.popUpMenu()->hide();
}

// Without a mouse: the menu from the keyboard, the bar's buttons by Tab and Space, and
// Escape out of every dialog as its Cancel (or OK) does.
TEST_F(Accessibility, TheKeyboardReachesEveryCommand)
{
    Form1& strip = load(true);
    strip.mnuShowControls->trigger();
    strip.show();
    QTest::keyClick(&strip, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.popUpMenu()->isVisible(); }));
    EXPECT_EQ(strip.popUpMenu()->activeAction(), firstEnabled(strip.popUpMenu()));
    strip.popUpMenu()->hide();
    QTest::keyClick(&strip, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.popUpMenu()->isVisible(); }));
    EXPECT_EQ(strip.popUpMenu()->activeAction(), firstEnabled(strip.popUpMenu()));
    strip.popUpMenu()->hide();
    QTest::keyClick(strip.Image1, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.popUpMenu()->isVisible(); }));
    strip.popUpMenu()->hide();

    strip.MMControl1->state().applyPlayListStart();
    strip.MMControl1->stateChanged();
    int plays = 0;
    QObject::connect(strip.MMControl1, &MMControlBar::playClicked, [&] { ++plays; });
    // Given the keyboard as the window switcher gives it.
    strip.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&strip));
    strip.MMControl1->setFocus(Qt::TabFocusReason);
    const int first = strip.MMControl1->focusedButton();
    ASSERT_GE(first, 0);
    EXPECT_TRUE(strip.MMControl1->buttonEnabled(static_cast<Button>(first)));
    while (strip.MMControl1->focusedButton() != static_cast<int>(Button::Play)) {
        const int before = strip.MMControl1->focusedButton();
        QTest::keyClick(strip.MMControl1, Qt::Key_Right);
        ASSERT_NE(strip.MMControl1->focusedButton(), before) << "Play is not reachable";
    }
    QTest::keyClick(strip.MMControl1, Qt::Key_Space);
    EXPECT_EQ(plays, 1);

    rig.writeList({"a.mp3", "b.mp3"});
    auto* editor = frmPlayList::instance();
    editor->show();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    editor->mnuEditRemoveAll->trigger();
    QTest::keyClick(editor->lstCurrentPlayList, Qt::Key_Escape);
    EXPECT_EQ(frmPlayList::loaded(), nullptr);
    EXPECT_EQ(rig.readList(), "a.mp3\r\nb.mp3\r\n");

    auto* about = frmAbout::instance();
    about->showWith("Quavix", QPixmap(16, 16));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_EQ(frmAbout::loaded(), nullptr);
    auto* location = frmOpenLocation::instance();
    location->show();
    QTest::keyClick(location->txtLocation, Qt::Key_Escape);
    EXPECT_EQ(frmOpenLocation::loaded(), nullptr);
}
