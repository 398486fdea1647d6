#pragma once
// The song file rename window: the user gives a song file whose name the play engine
// cannot take apart a name that follows the convention. Modeless, at most one instance
// (see RenameDialog.h); the work behind the buttons is in SongRename.h.
#include "engine/RenameDialog.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quavix {

class frmResetSongFileName : public QWidget, public RenameDialogPort {
    Q_OBJECT
public:
    explicit frmResetSongFileName(QWidget* parent = nullptr);

    void setCurrentName(const std::string& name) override;
    void setSongPath(const std::string& path) override;
    void showModeless() override;
    void hideDialog() override;

    QLabel* lblCurrentName;
    QLabel* lblArtist;
    QLabel* lblCDName;
    QLabel* lblYear;
    QLabel* lblSongTitle;
    QLineEdit* txtCurrentName;
    QLineEdit* txtArtist;
    QLineEdit* txtCDName;
    QLineEdit* txtYear;
    QLineEdit* txtSongTitle;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

public slots:
    // Renames the file and hides the window; on failure the window stays open.
    void cmdOK_Click();
    // Asks; Yes ends the program.
    void cmdCancel_Click();

private:
    std::string ms_SongPath;
    bool mBusy = false; // OK lets events through while it measures; no second OK meanwhile
};

// Registers this window as what loadResetSongFileName() creates (see engine/RenameDialog.h);
// a window still loaded goes when the application quits.
void installResetSongFileName();

} // namespace quavix
