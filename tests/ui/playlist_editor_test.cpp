// The play list editor as the user drives it: opening the default list, OK, Cancel and
// Close, choosing where play goes on, other play list files, adding, dropping, removing,
// ordering, the clipboard, sizing, and the main window's command that opens it.
#include "engine/PlayCommands.h"
#include "playlist/frmPlayList.h"
#include "startup/HandOff.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;
using quavix::testing::readText;
using quavix::testing::Rig;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string Latin1 = "/music/Caf\xe9.mp3";

void closeEditor()
{
    if (auto* f = frmPlayList::loaded())
        f->mnuFileClose_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Editor : public ::testing::Test {
protected:
    Rig h;

    void TearDown() override { closeEditor(); }
    frmPlayList* open()
    {
        auto* f = frmPlayList::instance();
        f->show();
        f->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(f));
        return f;
    }
    frmPlayList* openWith(const Strings& lines)
    {
        h.writeList(lines);
        return open();
    }
    static Strings entries(frmPlayList* f) { return f->model->entries(); }

    static void select(frmPlayList* f, std::initializer_list<int> rows)
    {
        for (int r : rows)
            f->lstCurrentPlayList->selectionModel()->select(f->model->index(r),
                                                            QItemSelectionModel::Select);
    }
    static void clickRow(frmPlayList* f, int row, bool twice = false)
    {
        QPoint at = f->lstCurrentPlayList->visualRect(f->model->index(row)).center();
        // A double click arrives as press, release, then the double click itself.
        QTest::mouseClick(f->lstCurrentPlayList->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(f->lstCurrentPlayList->viewport(), Qt::LeftButton, {}, at);
    }
    static void drop(frmPlayList* f, QMimeData& data, bool expectAccepted)
    {
        QWidget* viewport = f->lstCurrentPlayList->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &enter);
        EXPECT_EQ(enter.isAccepted(), expectAccepted);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &dropped);
    }
    std::string stored() { return h.options.value("Options", "PlayListInSequentialOrder"); }
};

} // namespace

TEST_F(Editor, OpensTheDefaultListSelectingWhatPlays)
{
    h.media.addItem("b.mp3", 3);
    h.media.setFileName("b.mp3");
    h.options.put("Options", "PlayListInSequentialOrder", "False");
    h.writeList({"a.mp3", "   ", "  c.mp3", "b.mp3", "#EXTM3U", "b.mp3", Latin1});
    auto* f = open();
    EXPECT_EQ(entries(f), (Strings{"a.mp3", "  c.mp3", "b.mp3", "#EXTM3U", "b.mp3", Latin1}));
    EXPECT_EQ(f->lstCurrentPlayList->selectionModel()->selectedRows().front().row(), 2)
        << "only the first of two equal entries";
    EXPECT_EQ(f->selectedEntries(), Strings{"b.mp3"});
    EXPECT_TRUE(f->mnuEditOrderRandom->isChecked() && !f->mnuEditOrderSequential->isChecked());
    EXPECT_FALSE(globals().gPlayListSequential);
    EXPECT_EQ(globals().gCurrentFileName, "") << "pre-selecting is no click";
    closeEditor();

    fs::remove(h.playList);
    h.options.values.clear();
    f = open();
    EXPECT_TRUE(entries(f).empty());
    EXPECT_TRUE(h.dialogs.boxes.empty()) << "a missing list opens empty without a box";
    EXPECT_TRUE(f->mnuEditOrderSequential->isChecked()) << "sequential by default";
}

TEST_F(Editor, OkWritesTheListBackAndHandsOver)
{
    h.writeList({"a.mp3", "   ", "  c.mp3", Latin1, "[x]"});
    globals().gPlayListEditCancelled = true;
    auto* f = open();
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_EQ(h.readList(), "a.mp3\r\n  c.mp3\r\n" + Latin1 + "\r\n[x]\r\n");
    EXPECT_EQ(frmPlayList::loaded(), nullptr);
    EXPECT_TRUE(globals().gPlayingPlayList);
    EXPECT_FALSE(globals().gPlayListEditCancelled);
    EXPECT_EQ(globals().gSongCount, 4);
    EXPECT_TRUE(h.window.timer1);
    EXPECT_EQ(quavix::testing::enabledButtons(h.window.bar).substr(0, 7), "PNYUBSX");
    EXPECT_EQ(h.window.starts, 0) << "OK itself starts nothing";

    f = open();
    f->mnuEditRemoveAll->trigger();
    f->cmdOK_Click();
    EXPECT_EQ(fs::file_size(h.playList), 0u);
    EXPECT_EQ(globals().gSongCount, 0);

    // A list that cannot be written keeps the editor open with its entries.
    f = openWith({"a.mp3"});
    globals().gPlayingPlayList = h.window.timer1 = false;
    globals().gPlayListFile = h.box.path("gone/list.m3u");
    f->cmdOK_Click();
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    const auto& box = h.dialogs.boxes[0];
    EXPECT_NE(box.text.find(h.box.path("gone/list.m3u")), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("No such file or directory"), std::string::npos) << box.text;
    EXPECT_EQ(frmPlayList::loaded(), f);
    EXPECT_EQ(entries(f), Strings{"a.mp3"});
    EXPECT_FALSE(globals().gPlayingPlayList || h.window.timer1);
}

// A line far longer than any name (a damaged list) is shown cut, and OK keeps it byte for
// byte: the editor neither lays it out whole nor loses it.
TEST_F(Editor, AnOverlongLineIsShownCutAndKeptWhole)
{
    const std::string huge(3 << 20, 'x');
    h.writeList({"a.mp3", huge, "b.mp3"});
    auto* f = open();
    ASSERT_EQ(f->model->count(), 3);
    const QString shown = f->model->data(f->model->index(1), Qt::DisplayRole).toString();
    EXPECT_LE(shown.size(), 64 * 1024 + 2);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…")));
    f->cmdOK_Click();
    EXPECT_EQ(h.readList(), "a.mp3\r\n" + huge + "\r\nb.mp3\r\n");
}

// A file handed to the running program while the editor is open goes to the end of the
// file; OK keeps it after the edited entries.
TEST_F(Editor, OkKeepsWhatWasHandedOverMeanwhile)
{
    h.writeList({"a.mp3", "b.mp3"});
    auto* f = open();
    f->mnuEditRemoveAll->trigger();
    f->model->appendEntries({"c.mp3"});
    std::string error;
    ASSERT_TRUE(writePlayListLine(h.playList, "/handed.mp3", true, error));
    f->cmdOK_Click();
    EXPECT_EQ(h.readList(), "c.mp3\r\n/handed.mp3\r\n");

    // A list rewritten meanwhile (not appended to) is the editor's to replace.
    f = open();
    h.writeList({"other.mp3", "x.mp3", "y.mp3"});
    f->cmdOK_Click();
    EXPECT_EQ(h.readList(), "c.mp3\r\n/handed.mp3\r\n");
}

TEST_F(Editor, CancelAndCloseWriteNothing)
{
    h.writeList({"b.mp3", "a.mp3"});
    struct Case {
        const char* how;
        std::function<void(frmPlayList*)> close;
        bool cancelled;
    };
    const Case cases[] = {
        {"Cancel", [](frmPlayList* f) { QTest::mouseClick(f->cmdCancel, Qt::LeftButton); }, true},
        {"File > Close", [](frmPlayList* f) { f->mnuFileClose->trigger(); }, false},
        {"title bar", [](frmPlayList* f) { f->close(); }, false},
    };
    for (const Case& c : cases) {
        globals().gPlayListEditCancelled = false;
        auto* f = open();
        f->mnuEditOrderRandom->trigger();
        f->mnuEditRemoveAll->trigger();
        c.close(f);
        EXPECT_EQ(frmPlayList::loaded(), nullptr) << c.how;
        EXPECT_EQ(globals().gPlayListEditCancelled, c.cancelled) << c.how;
        EXPECT_EQ(h.readList(), "b.mp3\r\na.mp3\r\n") << c.how;
        EXPECT_EQ(stored(), "False") << c.how << ": the order option is stored at once";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(Editor, ClickChoosesWherePlayGoesOn)
{
    globals().gCurrentFileName = "two";
    auto* f = openWith({"one", "two", "three"});
    EXPECT_TRUE(f->lstCurrentPlayList->hasFocus());
    EXPECT_EQ(globals().gCurrentFileName, "two") << "opening and focusing the list is no click";
    clickRow(f, 2);
    EXPECT_EQ(globals().gCurrentFileName, "two");
    clickRow(f, 0);
    EXPECT_EQ(globals().gCurrentFileName, "");
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_Down);
    EXPECT_EQ(globals().gCurrentFileName, "one") << "the keyboard counts too";
    clickRow(f, 1);
    clickRow(f, 1); // the current entry again: still a click
    EXPECT_EQ(globals().gCurrentFileName, "one");

    globals().gCurrentFileName = "x";
    clickRow(f, 2, true);
    EXPECT_EQ(globals().gCurrentFileName, "two");
    EXPECT_EQ(frmPlayList::loaded(), nullptr) << "a double click is OK";
    EXPECT_TRUE(globals().gPlayingPlayList);
}

TEST_F(Editor, OpenAppendsAnotherListAndSaveGoesWhereSaveAsSaid)
{
    const std::string other =
        h.box.write("other.pls", "[playlist]\r\na.mp3\r\n\r\n" + Latin1 + "\r\n");
    h.media.addItem("p.mp3", 3);
    h.media.setFileName("p.mp3");
    auto* f = openWith({"p.mp3"});
    h.dialogs.fileAnswers = {other, std::nullopt};
    f->mnuFileOpen->trigger();
    f->mnuFileOpen->trigger(); // cancelled
    EXPECT_EQ(entries(f), (Strings{"p.mp3", "[playlist]", "a.mp3", "", Latin1}));
    EXPECT_EQ(h.media.playState(), MediaPlayer::Stopped);
    EXPECT_TRUE(h.dialogs.fileRequests.at(0).mustExist);

    // Save before any Save As asks for the name, as Save As does.
    const std::string saved = h.box.path("saved.m3u");
    h.dialogs.fileAnswers = {saved};
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(h.dialogs.fileRequests.size(), 3u);
    EXPECT_EQ(f->ms_FileName, saved);
    EXPECT_EQ(readText(saved), "p.mp3\r\n[playlist]\r\na.mp3\r\n\r\n" + Latin1 + "\r\n");

    f->mnuEditRemoveAll->trigger();
    f->mnuFileSave->trigger();
    EXPECT_EQ(h.dialogs.fileRequests.size(), 3u) << "no second question";
    EXPECT_EQ(fs::file_size(saved), 0u);
    EXPECT_EQ(h.readList(), "p.mp3\r\n") << "the default list is not touched";

    h.dialogs.fileAnswers = {std::nullopt};
    f->mnuFileSaveAs->trigger();
    EXPECT_EQ(f->ms_FileName, saved) << "cancelled";
    h.dialogs.fileAnswers = {std::nullopt};
    f->mnuFileOpen->trigger();
    EXPECT_EQ(h.dialogs.fileRequests.back().initialName, saved);

    f->ms_FileName = h.box.path("gone/x.m3u");
    f->mnuFileSave->trigger();
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_NE(h.dialogs.boxes[0].text.find(f->ms_FileName), std::string::npos);
    EXPECT_EQ(frmPlayList::loaded(), f);
}

TEST_F(Editor, AddFileAndDirectory)
{
    const std::string song = h.box.write("music/b.mp3", "x");
    const std::string empty = h.box.write("music/empty.mp3", "");
    h.box.write("music/x.txt", "x"); // which files a folder gives is the unit tests'
    auto* f = openWith({"first"});
    h.dialogs.fileAnswers = {empty, std::nullopt, song};
    for (int i = 0; i < 3; ++i)
        f->mnuEditAddFile->trigger();
    EXPECT_EQ(entries(f), (Strings{"first", song}));

    const std::string dir = h.box.path("music") + "/";
    h.dialogs.fileAnswers = {std::nullopt, dir + "x.txt"};
    f->mnuEditAddDirectory->trigger();
    f->mnuEditAddDirectory->trigger();
    EXPECT_EQ(entries(f),
              (Strings{"first", song, dir + "b.mp3", dir + "empty.mp3", dir + "x.txt"}));
    EXPECT_EQ(h.dialogs.fileRequests.at(3).initialName, f->ms_FileName);
    EXPECT_TRUE(f->lstTemp.empty());
}

// The program has one file dialog: where a use sets no name, it offers the name the last
// use of any of them left, the chosen file or the name it was given.
TEST_F(Editor, AddFileOffersTheNameTheProgramsFileDialogLastHeld)
{
    const std::string song = h.box.write("music/c.mp3", "x");
    h.dialogs.fileAnswers = {song};
    playFileCommand();
    auto* f = openWith({"first"});
    h.dialogs.fileAnswers = {std::nullopt, std::nullopt, std::nullopt};
    f->mnuEditAddFile->trigger();
    EXPECT_EQ(h.dialogs.fileRequests.back().initialName, song);
    f->mnuFileSaveAs_Click(); // offers "*.*", cancelled
    f->mnuEditAddFile->trigger();
    EXPECT_EQ(h.dialogs.fileRequests.back().initialName, "*.*");
}

TEST_F(Editor, DropsAppendLocalFilesInDropOrder)
{
    h.media.addItem("p.mp3", 3);
    h.media.setFileName("p.mp3");
    auto* f = openWith({"p.mp3"});
    QMimeData files, text, remote;
    files.setData("text/uri-list", "file:///m/c.mp3\r\nfile:///m/a%20b.mp3\r\n");
    drop(f, files, true);
    EXPECT_EQ(entries(f), (Strings{"p.mp3", "/m/c.mp3", "/m/a b.mp3"}));
    EXPECT_EQ(h.media.playState(), MediaPlayer::Playing) << "a drop does not stop the player";

    text.setText("/m/typed.mp3");
    remote.setData("text/uri-list", "http://example.net/x.mp3\r\n");
    drop(f, text, false);
    drop(f, remote, false);
    EXPECT_EQ(entries(f).size(), 3u);
}

TEST_F(Editor, RemovesKeepTheRestInOrder)
{
    const Strings five = {"1", "2", "3", "4", "5"}, odd = {"1", "3", "5"};
    struct Case {
        const char* how;
        std::function<void(frmPlayList*)> act;
        Strings left;
        bool selected = true;
    };
    auto key = [](const char* keys) {
        return [keys](frmPlayList* f) { QTest::keyClicks(f->lstCurrentPlayList, keys); };
    };
    const Case cases[] = {
        {"Selected Items", [](frmPlayList* f) { f->mnuEditRemoveSelected->trigger(); }, odd},
        {"Del", [](frmPlayList* f) { QTest::keyClick(f->lstCurrentPlayList, Qt::Key_Delete); },
         odd},
        {"full stop", key("."), odd},
        // The typed character counts, however it was typed.
        {"keypad full stop",
         [](frmPlayList* f) {
             QTest::keyClick(f->lstCurrentPlayList, Qt::Key_Period, Qt::KeypadModifier);
         },
         odd},
        {"shifted full stop",
         [](frmPlayList* f) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Period, Qt::ShiftModifier, ".");
             QCoreApplication::sendEvent(f->lstCurrentPlayList, &press);
         },
         odd},
        {"Ctrl+full stop",
         [](frmPlayList* f) {
             QTest::keyClick(f->lstCurrentPlayList, Qt::Key_Period, Qt::ControlModifier);
         },
         five},
        {"other keys", key(",x3"), five},
        {"All But Selected",
         [](frmPlayList* f) { f->mnuEditRemoveAllButSelected->trigger(); },
         {"2", "4"}},
        {"All", [](frmPlayList* f) { f->mnuEditRemoveAll->trigger(); }, {}},
        {"Selected, none selected", [](frmPlayList* f) { f->mnuEditRemoveSelected->trigger(); },
         five, false},
        {"All But Selected, none selected",
         [](frmPlayList* f) { f->mnuEditRemoveAllButSelected->trigger(); },
         {},
         false},
    };
    for (const Case& c : cases) {
        auto* f = openWith(five);
        if (c.selected)
            select(f, {1, 3});
        c.act(f);
        EXPECT_EQ(entries(f), c.left) << c.how;
        closeEditor();
    }
}

TEST_F(Editor, OrderCommandsReorderAndStoreTheMode)
{
    auto* f = openWith({"b.mp3", "A.mp3", "c.mp3"});
    select(f, {0});
    f->mnuEditOrderSequential->trigger();
    EXPECT_EQ(entries(f), (Strings{"A.mp3", "b.mp3", "c.mp3"}));
    EXPECT_TRUE(f->selectedEntries().empty()) << "the selection is lost";
    EXPECT_TRUE(f->mnuEditOrderSequential->isChecked() && !f->mnuEditOrderRandom->isChecked());
    EXPECT_EQ(stored(), "True");
    EXPECT_TRUE(globals().gPlayListSequential);
    f->mnuEditOrderSequential->trigger(); // checked already: stays checked
    EXPECT_TRUE(f->mnuEditOrderSequential->isChecked());

    h.random.draws = {0.5, 0.9, 0.0};
    f->mnuEditOrderRandom->trigger();
    EXPECT_EQ(entries(f), (Strings{"b.mp3", "c.mp3", "A.mp3"}));
    EXPECT_EQ(h.random.seeds, 1);
    EXPECT_TRUE(f->mnuEditOrderRandom->isChecked() && !f->mnuEditOrderSequential->isChecked());
    EXPECT_EQ(stored(), "False");
    EXPECT_FALSE(globals().gPlayListSequential);
    EXPECT_TRUE(f->lstTemp.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer is gone";
}

TEST_F(Editor, CutCopyAndPaste)
{
    auto* f = openWith({"1", "2", Latin1, "4"});
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("untouched");
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "untouched") << "nothing selected, nothing copied";

    select(f, {2, 0});
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QString::fromUtf8("1\n/music/Caf\xc3\xa9.mp3\n"));
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(entries(f), (Strings{"2", "4"}));

    f->lstCurrentPlayList->setCurrentIndex(f->model->index(0));
    QTest::keyClick(f->lstCurrentPlayList, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(entries(f), (Strings{"2", "1", Latin1, "4"})) << "the bytes come back as cut";
    EXPECT_EQ(f->selectedEntries(), (Strings{"1", Latin1}));

    clipboard->setText("  x.mp3\r\n\r\n   \r\n#y\r\n");
    f->lstCurrentPlayList->selectionModel()->clear();
    f->lstCurrentPlayList->setCurrentIndex({});
    f->mnuEditPaste->trigger();
    EXPECT_EQ(entries(f), (Strings{"2", "1", Latin1, "4", "  x.mp3", "#y"}));

    auto* files = new QMimeData;
    files->setData("text/uri-list", "file:///m/z.mp3\r\n");
    files->setText("file:///m/z.mp3");
    clipboard->setMimeData(files);
    f->lstCurrentPlayList->setCurrentIndex(f->model->index(0));
    f->mnuEditPaste->trigger();
    EXPECT_EQ(entries(f)[1], "/m/z.mp3") << "files copied in a file manager";
    clipboard->clear();
    f->mnuEditPaste->trigger();
    EXPECT_EQ(entries(f).size(), 7u);
}

TEST_F(Editor, TheListScrollsToTheEndOfItsLongestEntry)
{
    const std::string longest = "/m/" + std::string(200, 'w') + ".mp3";
    auto* f = openWith({"short.mp3", longest, "/m/" + std::string(100, 'w') + ".mp3"});
    QListView* list = f->lstCurrentPlayList;
    const QFontMetrics metrics(list->font());
    auto reaches = [&](const std::string& entry) {
        QCoreApplication::processEvents();
        return list->horizontalScrollBar()->maximum() + list->viewport()->width() >=
               metrics.horizontalAdvance(QString::fromStdString(entry));
    };
    EXPECT_TRUE(reaches(longest));
    const std::string later = "/m/" + std::string(400, 'w') + ".mp3";
    f->lstCurrentPlayList_OLEDragDrop({later});
    EXPECT_TRUE(reaches(later));
}

TEST_F(Editor, SizesFollowTheWindowAndNeverGoNegative)
{
    auto* f = openWith({"a"});
    QWidget* client = f->centralWidget();
    f->resize(700, 500 + f->menuBar()->height());
    QCoreApplication::processEvents();
    ASSERT_EQ(client->size(), QSize(700, 500));
    // The width follows the window's outer width, its frame included.
    const int frame = f->frameGeometry().width() - f->width();
    EXPECT_GT(frame, 0) << "the test platform draws no frame";
    EXPECT_EQ(f->lstCurrentPlayList->geometry(), QRect(8, 8, 700 + frame - 16, 500 - 28 - 8));
    EXPECT_EQ(f->Toolbar1->geometry(), QRect(0, 500 - 28, 700, 28));
    // Smaller than the margins (the window's own minimum may stop short of that).
    client->resize(10, 10);
    EXPECT_EQ(f->lstCurrentPlayList->geometry(), QRect(8, 8, std::max(0, 10 + frame - 16), 0));
    client->resize(30, 60);
    EXPECT_EQ(f->lstCurrentPlayList->geometry(), QRect(8, 8, 30 + frame - 16, 24));
}

TEST(EditorCommand, OpensTheEditorAndStartsThePlayerUnlessLastCancelled)
{
    quavix::testing::FormRig h;
    Form1* form = &h.load(true);
    globals().gPlayListFile = h.rig.playList;
    h.rig.writeList({"a.mp3"});

    form->mnuPlayListEditor->trigger();
    auto* f = frmPlayList::loaded();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->playListPlayerPending()) << "no Cancel so far";
    form->timerPlay->stop();

    QTest::mouseClick(f->cmdCancel, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->mnuPlayListEditor->trigger();
    EXPECT_NE(frmPlayList::loaded(), nullptr);
    EXPECT_FALSE(form->playListPlayerPending()) << "last closed with Cancel";

    frmPlayList::loaded()->cmdOK_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->mnuPlayListEditor->trigger();
    EXPECT_TRUE(form->playListPlayerPending());
    closeEditor();
    form->timerPlay->stop();
}
