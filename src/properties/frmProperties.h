#pragma once
// frmProperties: the program's appearance settings on three tabs: Icons (which of the 24
// pictures the program shows, own pictures for them, the random icon options), Placement
// (the strip's offsets inside the caption area) and File Types (the twelve associations).
//
// Modeless; at most one exists. Loaded (filled from the store and the shared state) on first
// use, unloaded (deleted) by OK, Cancel and closing it. OK asks, then applies and stores the
// icon and placement settings; Cancel and closing store nothing. Own pictures (Change Image,
// Reset To Default) and the File Types page's Set and Reset act at once.
#include "properties/FileTypes.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <array>
#include <cstdint>
#include <memory>

namespace quavix {

class frmProperties : public QDialog {
    Q_OBJECT
public:
    static constexpr int ImageCount = 24;

    // The loaded instance, created and loaded on first use.
    static frmProperties* instance();
    // The loaded instance, or nullptr; never creates one.
    static frmProperties* loaded();

    QWidget* Toolbar1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTabBar* tabProperties = nullptr;
    QFrame* tabPane = nullptr; // the strip's frame under its tabs
    QWidget* picIcons = nullptr;
    QWidget* picAlignment = nullptr;
    QWidget* picFileTypes = nullptr;

    // Icons page.
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, ImageCount> optImageToUse{};
    QGroupBox* Frame3 = nullptr; // never shown: holds the built-in pictures
    std::array<QRadioButton*, ImageCount> optImageToUseDefault{};
    QPushButton* cmdChangeIcon = nullptr;
    QPushButton* cmdIconToDefault = nullptr;
    QCheckBox* chkRandomSelectStartUp = nullptr;
    QCheckBox* chkRandomChangeWhileRunning = nullptr;
    QCheckBox* chkChangeIconAfterFile = nullptr;
    QMenu* mnuPopUp = nullptr;
    QAction* mnuChangeImage = nullptr;
    QAction* mnuResetToDefault = nullptr;

    // Placement page.
    QGroupBox* Frame4 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QSlider* sliderProgramPlacementHorzCoarse = nullptr;
    QSlider* sliderProgramPlacementHorz = nullptr;
    QGroupBox* Frame2 = nullptr;
    QSlider* sliderProgramPlacementVert = nullptr;
    QLineEdit* txtProgramPlacementHorzCoarse = nullptr;
    QLineEdit* txtProgramPlacementHorz = nullptr;
    QLineEdit* txtProgramPlacementVert = nullptr;
    QLabel* Label1 = nullptr;

    // File Types page, one entry per file type in fileTypes() order (lblCurrentMP3, ...).
    std::array<QLabel*, FileTypeCount> lblCurrent{};
    std::array<QLabel*, FileTypeCount> lblOriginal{};
    std::array<QPushButton*, FileTypeCount> cmdSet{};
    std::array<QPushButton*, FileTypeCount> cmdReset{};

    // The icon choice Change Image and Reset To Default act on.
    std::int16_t mi_SelectedImage = 0;

    // The current picture of icon choice i.
    QIcon picture(int i) const;

    void Form_Load();
    void tabProperties_Click();
    // button: the mouse button; globalPos where the menu opens.
    void optImageToUse_MouseDown(int index, Qt::MouseButton button, QPoint globalPos);
    void cmdChangeIcon_Click();
    void cmdIconToDefault_Click();
    void mnuChangeImage_Click();
    void mnuResetToDefault_Click();
    void chkRandomChangeWhileRunning_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    // The File Types rows: cmdMP3Set_Click is cmdSet_Click(0), and so on.
    void cmdSet_Click(int row);
    void cmdReset_Click(int row);
    // The button rule, run whenever the row's previous-owner label changes.
    void lblOriginal_Change(int row);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmProperties(QWidget* parent = nullptr);
    ~frmProperties() override;
    QWidget* buildIconsPage();
    QWidget* buildPlacementPage();
    QWidget* buildFileTypesPage();
    void layOut(); // the tab strip, pages, bar and buttons, in twips as designed
    void nameChoice(int i, bool ownPicture);
    void selectedChoiceToMember();
    void showRows();
    void showOutcome(int row, const AssociationOutcome& outcome);
    void unload();

    std::unique_ptr<FileAssociations> m_associations;
};

} // namespace quavix
