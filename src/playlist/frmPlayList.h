#pragma once
// frmPlayList, the play list editor: shows the default play list, lets the user add,
// remove and reorder entries, open other play lists into it and save it under other
// names. OK writes it back to the default play list file; Cancel and Close write nothing.
//
// Modeless; at most one exists. It is loaded (filled from the default play list file) on
// first use and unloaded (deleted later) by OK, Cancel and Close.
//
// Geometry is in twips as designed (client area 7020 x 5175 below the menu bar), applied in
// logical pixels with services().windows' twips-per-pixel factors (15 without them).
// Every menu item is one QAction named as the item; triggering it runs its handler.
#include "playlist/PlayListFile.h"
#include "playlist/PlayListModel.h"
#include "playlist/PlayListView.h"

#include <QAction>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <string>
#include <vector>

namespace quavix {

class frmPlayList : public QMainWindow {
    Q_OBJECT
public:
    // The loaded instance, created and loaded on first use.
    static frmPlayList* instance();
    // The loaded instance, or nullptr; never creates one.
    static frmPlayList* loaded();

    // ---- controls ---------------------------------------------------------------------
    PlayListView* lstCurrentPlayList = nullptr;
    PlayListModel* model = nullptr; // lstCurrentPlayList's entries
    QWidget* Toolbar1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    // The sorting list: the entries while Add Directory or an Order command sorts them.
    // Empty whenever no command runs.
    std::vector<std::string> lstTemp;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFiller1 = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* mnuFiller2 = nullptr;
    QAction* mnuFileClose = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuEditAdd = nullptr;
    QAction* mnuEditAddFile = nullptr;
    QAction* mnuEditAddDirectory = nullptr;
    QMenu* mnuEditRemove = nullptr;
    QAction* mnuEditRemoveAll = nullptr;
    QAction* mnuEditRemoveSelected = nullptr;
    QAction* mnuEditRemoveAllButSelected = nullptr;
    QAction* mnuFiller3 = nullptr;
    QMenu* mnuEditOrder = nullptr;
    QAction* mnuEditOrderSequential = nullptr;
    QAction* mnuEditOrderRandom = nullptr;
    QAction* mnuFiller04 = nullptr;
    QAction* mnuEditCut = nullptr;
    QAction* mnuEditCopy = nullptr;
    QAction* mnuEditPaste = nullptr;

    // The name chosen with Save As in this opening; the target of Save ("" until then).
    std::string ms_FileName;

    // ---- handlers ---------------------------------------------------------------------
    void Form_Load();
    void Form_Resize();
    // Writes the default play list file and hands over to the main window. A write that
    // fails shows a box naming the file and the reason and keeps the editor open.
    void cmdOK_Click();
    void cmdCancel_Click();
    void mnuFileClose_Click();
    void lstCurrentPlayList_Click();
    void lstCurrentPlayList_DblClick();
    void mnuFileOpen_Click();
    // Save before any Save As in this opening asks for a name, as Save As does.
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuEditAddFile_Click();
    void mnuEditAddDirectory_Click();
    // Appends the names in drop order; nothing is tested or sorted.
    void lstCurrentPlayList_OLEDragDrop(const std::vector<std::string>& files);
    void mnuEditRemoveAll_Click();
    void mnuEditRemoveSelected_Click();
    void mnuEditRemoveAllButSelected_Click();
    // A character typed in the list; true when it was handled here (the full stop).
    bool lstCurrentPlayList_KeyPress(int keyAscii);
    void mnuEditOrderSequential_Click();
    void mnuEditOrderRandom_Click();
    // Copy: the selected entries, in list order, as text lines. Cut: copy, then remove them.
    // Paste: the clipboard's entries after the current one (at the end without one).
    void mnuEditCut_Click();
    void mnuEditCopy_Click();
    void mnuEditPaste_Click();

    // The selected entries in list order.
    std::vector<std::string> selectedEntries() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmPlayList(QWidget* parent = nullptr);
    ~frmPlayList() override;
    void buildMenu();
    void unload();
    // Writes entries to path; on failure tells the user and returns false.
    bool writeOrTell(const std::string& path);
    void setOrderChecks(bool sequential);
    // Makes `row` the current entry without raising the click handler.
    void setCurrentRowQuietly(int row);
    int twipsX(double twips) const;
    int twipsY(double twips) const;

    QWidget* m_client = nullptr;
    bool m_quiet = false;
    ReadMark m_loaded; // the default list as it was read, to find what was appended since
    bool m_unloaded = false;
};

} // namespace quavix
