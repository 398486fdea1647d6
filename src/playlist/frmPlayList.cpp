#include "frmPlayList.h"

#include "engine/PlayCommands.h"
#include "engine/PlayListPlayer.h"
#include "engine/clsGetDriveDirFromFilename.h"
#include "playlist/EntryText.h"
#include "playlist/EntryTransfer.h"
#include "playlist/PlayListFile.h"
#include "playlist/PlayListOrder.h"
#include "startup/CommonDialog.h"
#include "startup/Globals.h"
#include "startup/OptionValues.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <algorithm>
#include <cmath>
#include <fstream>

namespace quavix {

namespace {

frmPlayList* g_instance = nullptr;

const char* const PlayListFilter = "All Files (*.*)|*.*|Playlist Files(*.pls;*.m3u)|*.pls;*.m3u";
const char* const AllFilesFilter = "All Files (*.*)|*.*";
// Our own clipboard format: the entries' bytes exactly, beside the readable text.
const char* const EntriesMime = "application/x-quavix-play-list-entries";
const char* const UriListMime = "text/uri-list";

// Design sizes in twips.
constexpr double ClientWidth = 7020, ClientHeight = 5175, Margin = 120, BarHeight = 420;
constexpr double ButtonWidth = 975, ButtonHeight = 375, OkLeft = 4800, CancelLeft = 5880;

void stopMediaPlayer()
{
    services().media->stop();
}

// Opens and reads one byte: false for a file that cannot be read and for an empty one.
bool hasReadableText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char c = 0;
    return in && in.get(c);
}

class BusyPointer {
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

frmPlayList* frmPlayList::instance()
{
    if (!g_instance) {
        g_instance = new frmPlayList;
        g_instance->Form_Load();
    }
    return g_instance;
}

frmPlayList* frmPlayList::loaded()
{
    return g_instance;
}

frmPlayList::frmPlayList(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("frmPlayList");
    setWindowTitle("Play List");
    // Only the strip decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_client = new QWidget(this);
    setCentralWidget(m_client);

    model = new PlayListModel(this);
    lstCurrentPlayList = new PlayListView(m_client);
    lstCurrentPlayList->setObjectName("lstCurrentPlayList");
    lstCurrentPlayList->setAccessibleName(QStringLiteral("Play list entries"));
    // Escape leaves as Cancel does: the file stays as it was, so nothing needs asking.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { cmdCancel_Click(); });
    // Every row is one line of text: the view need not measure 100,000 of them.
    lstCurrentPlayList->setUniformItemSizes(true);
    lstCurrentPlayList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstCurrentPlayList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstCurrentPlayList->setItemDelegate(new LongestEntryDelegate(*model, lstCurrentPlayList));
    lstCurrentPlayList->setModel(model);
    lstCurrentPlayList->setAcceptDrops(true);
    lstCurrentPlayList->viewport()->installEventFilter(this);
    lstCurrentPlayList->installEventFilter(this);

    Toolbar1 = new QWidget(m_client);
    Toolbar1->setObjectName("Toolbar1");
    cmdOK = new QPushButton("OK", Toolbar1);
    cmdOK->setObjectName("cmdOK");
    cmdCancel = new QPushButton("Cancel", Toolbar1);
    cmdCancel->setObjectName("cmdCancel");
    setTabOrder(lstCurrentPlayList, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    buildMenu();

    connect(cmdOK, &QPushButton::clicked, this, &frmPlayList::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPlayList::cmdCancel_Click);
    connect(lstCurrentPlayList, &QListView::clicked, this, &frmPlayList::lstCurrentPlayList_Click);
    connect(lstCurrentPlayList, &QListView::doubleClicked, this,
            &frmPlayList::lstCurrentPlayList_DblClick);
    // The keyboard makes an entry the current one too; the view's own moves (when it gets
    // the focus, or after a change of the list) are no choice of the user's.
    connect(lstCurrentPlayList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] {
                if (!m_quiet && lstCurrentPlayList->handlingKey())
                    lstCurrentPlayList_Click();
            });

    m_client->installEventFilter(this);
    resize(twipsX(ClientWidth), twipsY(ClientHeight) + menuBar()->sizeHint().height());
    lstCurrentPlayList->setFocus();
}

frmPlayList::~frmPlayList()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void frmPlayList::buildMenu()
{
    auto named = [](QAction* action, const char* name) {
        action->setObjectName(name);
        return action;
    };
    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFileOpen = named(mnuFile->addAction("&Open"), "mnuFileOpen");
    mnuFiller1 = named(mnuFile->addSeparator(), "mnuFiller1");
    mnuFileSave = named(mnuFile->addAction("&Save"), "mnuFileSave");
    mnuFileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs = named(mnuFile->addAction("Save &As"), "mnuFileSaveAs");
    mnuFiller2 = named(mnuFile->addSeparator(), "mnuFiller2");
    mnuFileClose = named(mnuFile->addAction("&Close"), "mnuFileClose");

    mnuEdit = menuBar()->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuEditAdd = mnuEdit->addMenu("&Add");
    mnuEditAdd->setObjectName("mnuEditAdd");
    mnuEditAddFile = named(mnuEditAdd->addAction("&File"), "mnuEditAddFile");
    mnuEditAddDirectory = named(mnuEditAdd->addAction("&Directory"), "mnuEditAddDirectory");
    mnuEditRemove = mnuEdit->addMenu("&Remove");
    mnuEditRemove->setObjectName("mnuEditRemove");
    mnuEditRemoveAll = named(mnuEditRemove->addAction("&All"), "mnuEditRemoveAll");
    mnuEditRemoveSelected =
        named(mnuEditRemove->addAction("&Selected Items"), "mnuEditRemoveSelected");
    mnuEditRemoveSelected->setShortcut(QKeySequence(Qt::Key_Delete));
    mnuEditRemoveAllButSelected =
        named(mnuEditRemove->addAction("All &But Selected Items"), "mnuEditRemoveAllButSelected");
    mnuFiller3 = named(mnuEdit->addSeparator(), "mnuFiller3");
    mnuEditOrder = mnuEdit->addMenu("&Order");
    mnuEditOrder->setObjectName("mnuEditOrder");
    mnuEditOrderSequential =
        named(mnuEditOrder->addAction("&Sequential"), "mnuEditOrderSequential");
    mnuEditOrderRandom = named(mnuEditOrder->addAction("&Random"), "mnuEditOrderRandom");
    mnuEditOrderSequential->setCheckable(true);
    mnuEditOrderRandom->setCheckable(true);
    mnuFiller04 = named(mnuEdit->addSeparator(), "mnuFiller04");
    mnuEditCut = named(mnuEdit->addAction("Cu&t"), "mnuEditCut");
    mnuEditCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuEditCopy = named(mnuEdit->addAction("&Copy"), "mnuEditCopy");
    mnuEditCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuEditPaste = named(mnuEdit->addAction("&Paste"), "mnuEditPaste");
    mnuEditPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    const std::pair<QAction*, void (frmPlayList::*)()> commands[] = {
        {mnuFileOpen, &frmPlayList::mnuFileOpen_Click},
        {mnuFileSave, &frmPlayList::mnuFileSave_Click},
        {mnuFileSaveAs, &frmPlayList::mnuFileSaveAs_Click},
        {mnuFileClose, &frmPlayList::mnuFileClose_Click},
        {mnuEditAddFile, &frmPlayList::mnuEditAddFile_Click},
        {mnuEditAddDirectory, &frmPlayList::mnuEditAddDirectory_Click},
        {mnuEditRemoveAll, &frmPlayList::mnuEditRemoveAll_Click},
        {mnuEditRemoveSelected, &frmPlayList::mnuEditRemoveSelected_Click},
        {mnuEditRemoveAllButSelected, &frmPlayList::mnuEditRemoveAllButSelected_Click},
        {mnuEditOrderSequential, &frmPlayList::mnuEditOrderSequential_Click},
        {mnuEditOrderRandom, &frmPlayList::mnuEditOrderRandom_Click},
        {mnuEditCut, &frmPlayList::mnuEditCut_Click},
        {mnuEditCopy, &frmPlayList::mnuEditCopy_Click},
        {mnuEditPaste, &frmPlayList::mnuEditPaste_Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);
}

int frmPlayList::twipsX(double twips) const
{
    double factor = services().windows->twipsPerPixelX();
    return static_cast<int>(std::lround(twips / (factor > 0 ? factor : 15.0)));
}

int frmPlayList::twipsY(double twips) const
{
    double factor = services().windows->twipsPerPixelY();
    return static_cast<int>(std::lround(twips / (factor > 0 ? factor : 15.0)));
}

// ---- loading, sizing, closing ----------------------------------------------------------

void frmPlayList::Form_Load()
{
    auto& g = globals();
    ms_FileName.clear();
    lstTemp.clear();
    // A list that does not exist yet (or cannot be read) opens as an empty one.
    std::vector<std::string> entries;
    readPlayListEntries(g.gPlayListFile, entries);
    m_loaded = markOf(g.gPlayListFile);

    int playing = -1;
    const std::string name = services().media->fileName();
    auto it = std::find(entries.begin(), entries.end(), name);
    if (!name.empty() && it != entries.end())
        playing = static_cast<int>(it - entries.begin());
    model->setEntries(std::move(entries));
    if (playing >= 0) {
        QModelIndex index = model->index(playing);
        lstCurrentPlayList->selectionModel()->select(index, QItemSelectionModel::Select);
        setCurrentRowQuietly(playing);
        lstCurrentPlayList->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }

    g.gPlayListSequential = optionBool("Options", "PlayListInSequentialOrder", true);
    setOrderChecks(g.gPlayListSequential);
    Form_Resize();
}

void frmPlayList::Form_Resize()
{
    // The window may be made smaller than its margins: sizes never go below zero.
    const int width = m_client->width(), height = m_client->height();
    const int barHeight = twipsY(BarHeight);
    const int barTop = std::max(0, height - barHeight);
    Toolbar1->setGeometry(0, barTop, width, barHeight);
    const int buttonTop = std::max(0, (barHeight - twipsY(ButtonHeight)) / 2);
    cmdOK->setGeometry(twipsX(OkLeft), buttonTop, twipsX(ButtonWidth), twipsY(ButtonHeight));
    cmdCancel->setGeometry(twipsX(CancelLeft), buttonTop, twipsX(ButtonWidth),
                           twipsY(ButtonHeight));
    // The list's width is taken from the window's outer width, frame included, so on a
    // framed window it reaches under the right border as far as the frame is wide.
    const int outerWidth = width + frameGeometry().width() - geometry().width();
    lstCurrentPlayList->setGeometry(twipsX(Margin), twipsY(Margin),
                                    std::max(0, outerWidth - twipsX(2 * Margin)),
                                    std::max(0, barTop - twipsY(Margin)));
}

void frmPlayList::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (g_instance == this)
        g_instance = nullptr;
    hide();
    deleteLater();
}

void frmPlayList::closeEvent(QCloseEvent* event)
{
    event->accept();
    mnuFileClose_Click();
}

void frmPlayList::cmdOK_Click()
{
    auto& g = globals();
    // Files handed to the program while the list was open went to the end of the file:
    // they follow the edited entries instead of being written away.
    if (auto added = entriesAddedSince(g.gPlayListFile, m_loaded); !added.empty()) {
        model->appendEntries(std::move(added));
        m_loaded = markOf(g.gPlayListFile);
    }
    if (!writeOrTell(g.gPlayListFile))
        return;
    // The file was rewritten: where the player stood in the old one means nothing now.
    PlayListPlayer::forgetPosition();
    if (MainWindowPort* w = mainWindow()) {
        w->mmControl().applyPlayListStart();
        w->mmControlChanged();
        w->setTimer1Enabled(true);
    }
    g.gPlayingPlayList = true;
    g.gPlayListEditCancelled = false;
    g.gSongCount = model->count();
    unload();
}

void frmPlayList::cmdCancel_Click()
{
    globals().gPlayListEditCancelled = true;
    unload();
}

void frmPlayList::mnuFileClose_Click()
{
    unload();
}

bool frmPlayList::writeOrTell(const std::string& path)
{
    std::string error;
    if (writePlayListEntries(path, model->entries(), error))
        return true;
    services().dialogs->messageBox(ProgramTitle,
                                   "The play list file \"" + path + "\" could not be written (" +
                                       error + ")." + CrLf + CrLf +
                                       "The file was left as it was; the list is still open in "
                                       "the editor.",
                                   MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

// ---- the list ----------------------------------------------------------------------------

void frmPlayList::setCurrentRowQuietly(int row)
{
    m_quiet = true;
    lstCurrentPlayList->selectionModel()->setCurrentIndex(
        row >= 0 ? model->index(row) : QModelIndex(), QItemSelectionModel::NoUpdate);
    m_quiet = false;
}

void frmPlayList::lstCurrentPlayList_Click()
{
    const QModelIndex current = lstCurrentPlayList->currentIndex();
    if (!current.isValid())
        return;
    // The player goes on after the line equal to gCurrentFileName: name the line above.
    globals().gCurrentFileName = current.row() > 0 ? model->entry(current.row() - 1) : "";
}

void frmPlayList::lstCurrentPlayList_DblClick()
{
    lstCurrentPlayList_Click();
    cmdOK_Click();
}

std::vector<std::string> frmPlayList::selectedEntries() const
{
    const std::vector<char> flags =
        model->flagsOf(lstCurrentPlayList->selectionModel()->selection());
    std::vector<std::string> selected;
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            selected.push_back(model->entries()[i]);
    return selected;
}

bool frmPlayList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == lstCurrentPlayList && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // The typed character decides: the keypad's "." and a "." typed with Shift count
        // too; a character typed with Ctrl, Alt or Meta is a shortcut, not typing.
        const auto shortcut = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        if (text.size() == 1 && !(key->modifiers() & shortcut) &&
            lstCurrentPlayList_KeyPress(text.front().unicode()))
            return true;
    } else if (watched == lstCurrentPlayList->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            const QMimeData* mime = drag->mimeData();
            if (mime && mime->hasFormat(UriListMime) &&
                !localFilesFromUriList(mime->data(UriListMime).toStdString()).empty()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QMimeData* mime = drop->mimeData();
            std::vector<std::string> files;
            if (mime && mime->hasFormat(UriListMime))
                files = localFilesFromUriList(mime->data(UriListMime).toStdString());
            if (files.empty()) {
                drop->ignore();
            } else {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                lstCurrentPlayList_OLEDragDrop(files);
            }
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool frmPlayList::lstCurrentPlayList_KeyPress(int keyAscii)
{
    if (keyAscii != 46)
        return false;
    mnuEditRemoveSelected_Click();
    return true;
}

// ---- File --------------------------------------------------------------------------------

void frmPlayList::mnuFileOpen_Click()
{
    stopMediaPlayer();
    FileDialogRequest request;
    request.title = "Open";
    request.filter = PlayListFilter;
    request.filterIndex = 1;
    request.mustExist = true;
    auto chosen = commonDialog::show(commonDialog::Kind::Open, request, ms_FileName);
    if (!chosen)
        return;
    std::vector<std::string> lines;
    appendPlayListLines(*chosen, lines);
    model->appendEntries(std::move(lines));
}

void frmPlayList::mnuFileSaveAs_Click()
{
    FileDialogRequest request;
    request.title = "Open";
    request.filter = PlayFileFilter;
    request.filterIndex = 1;
    auto chosen = commonDialog::show(commonDialog::Kind::Save, request, "*.*");
    if (!chosen)
        return;
    ms_FileName = *chosen;
    mnuFileSave_Click();
}

void frmPlayList::mnuFileSave_Click()
{
    if (ms_FileName.empty()) {
        mnuFileSaveAs_Click();
        return;
    }
    writeOrTell(ms_FileName);
}

// ---- Edit > Add ----------------------------------------------------------------------------

void frmPlayList::mnuEditAddFile_Click()
{
    stopMediaPlayer();
    FileDialogRequest request;
    request.title = "Open";
    request.filter = PlayFileFilter;
    request.filterIndex = 2;
    request.mustExist = true;
    auto chosen = commonDialog::show(commonDialog::Kind::Open, request);
    if (!chosen || !fitsOnOneLine(*chosen) || !hasReadableText(*chosen))
        return;
    model->appendEntries({*chosen});
}

void frmPlayList::mnuEditAddDirectory_Click()
{
    stopMediaPlayer();
    FileDialogRequest request;
    request.title = "Open";
    request.filter = AllFilesFilter;
    request.filterIndex = 1;
    request.mustExist = true;
    auto chosen = commonDialog::show(commonDialog::Kind::Open, request, ms_FileName);
    if (!chosen)
        return;
    const std::string folder =
        clsGetDriveDirFromFilename().fPerformGetDriveDirFromFilename(*chosen);
    lstTemp.clear();
    if (folderFiles(folder, lstTemp))
        model->appendEntries(std::move(lstTemp));
    lstTemp.clear();
}

void frmPlayList::lstCurrentPlayList_OLEDragDrop(const std::vector<std::string>& files)
{
    std::vector<std::string> entries;
    for (const auto& f : files)
        if (!f.empty() && fitsOnOneLine(f))
            entries.push_back(f);
    model->appendEntries(std::move(entries));
}

// ---- Edit > Remove -------------------------------------------------------------------------

void frmPlayList::mnuEditRemoveAll_Click()
{
    model->setEntries({});
}

void frmPlayList::mnuEditRemoveSelected_Click()
{
    const QItemSelection selection = lstCurrentPlayList->selectionModel()->selection();
    if (selection.isEmpty())
        return;
    const std::vector<char> flags = model->flagsOf(selection);
    const auto first = std::find(flags.begin(), flags.end(), 1) - flags.begin();
    model->keepFlagged(flags, false);
    // Where the first removed entry stood, so that the keyboard carries on from there.
    if (model->count() > 0)
        setCurrentRowQuietly(std::min(static_cast<int>(first), model->count() - 1));
}

void frmPlayList::mnuEditRemoveAllButSelected_Click()
{
    model->keepFlagged(model->flagsOf(lstCurrentPlayList->selectionModel()->selection()), true);
}

// ---- Edit > Order --------------------------------------------------------------------------

void frmPlayList::setOrderChecks(bool sequential)
{
    mnuEditOrderSequential->setChecked(sequential);
    mnuEditOrderRandom->setChecked(!sequential);
}

void frmPlayList::mnuEditOrderSequential_Click()
{
    BusyPointer busy;
    lstTemp = model->takeEntries();
    sortEntries(lstTemp);
    model->setEntries(std::move(lstTemp));
    lstTemp.clear();
    setOrderChecks(true);
    globals().gPlayListSequential = true;
    saveOptionBool("Options", "PlayListInSequentialOrder", true);
}

void frmPlayList::mnuEditOrderRandom_Click()
{
    BusyPointer busy;
    lstTemp = model->takeEntries();
    Random& random = *services().random;
    random.seedFromClock();
    shuffleEntries(lstTemp, random);
    model->setEntries(std::move(lstTemp));
    lstTemp.clear();
    setOrderChecks(false);
    globals().gPlayListSequential = false;
    saveOptionBool("Options", "PlayListInSequentialOrder", false);
}

// ---- Edit > Cut, Copy, Paste ---------------------------------------------------------------

void frmPlayList::mnuEditCopy_Click()
{
    const std::vector<std::string> selected = selectedEntries();
    if (selected.empty())
        return;
    QString text;
    for (const auto& e : selected)
        text += entryText(e) + QLatin1Char('\n');
    auto* mime = new QMimeData;
    mime->setText(text);
    const std::string lines = entriesAsLines(selected);
    mime->setData(EntriesMime, QByteArray(lines.data(), static_cast<qsizetype>(lines.size())));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void frmPlayList::mnuEditCut_Click()
{
    if (selectedEntries().empty())
        return;
    mnuEditCopy_Click();
    mnuEditRemoveSelected_Click();
}

void frmPlayList::mnuEditPaste_Click()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return;
    std::vector<std::string> entries;
    if (mime->hasFormat(EntriesMime))
        entries = entriesFromLines(mime->data(EntriesMime).toStdString());
    else if (mime->hasFormat(UriListMime))
        entries = localFilesFromUriList(mime->data(UriListMime).toStdString());
    if (entries.empty() && mime->hasText())
        entries = entriesFromLines(mime->text().toStdString());
    if (entries.empty())
        return;
    const QModelIndex current = lstCurrentPlayList->currentIndex();
    const int row = current.isValid() ? current.row() + 1 : model->count();
    const int count = static_cast<int>(entries.size());
    model->insertEntries(row, std::move(entries));
    // The pasted entries end up selected, the last of them current.
    lstCurrentPlayList->selectionModel()->select(
        QItemSelection(model->index(row), model->index(row + count - 1)),
        QItemSelectionModel::ClearAndSelect);
    setCurrentRowQuietly(row + count - 1);
}

} // namespace quavix
