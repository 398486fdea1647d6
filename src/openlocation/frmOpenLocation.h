#pragma once
// frmOpenLocation: asks for a stream address to play, offering the remembered history.
// Modeless; at most one exists. It is loaded (filled from the store) on first use and
// unloaded (deleted) by OK after a successful open, by Cancel and by closing it.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace quavix {

class frmOpenLocation : public QDialog {
    Q_OBJECT
public:
    // The loaded instance, created and loaded on first use.
    static frmOpenLocation* instance();
    // The loaded instance, or nullptr; never creates one.
    static frmOpenLocation* loaded();

    QLabel* Label1 = nullptr;
    QLineEdit* txtLocation = nullptr;
    QListWidget* lstLocationHistory = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QMenu* mnuPopUp = nullptr;
    QAction* mnuRemoveItem = nullptr;

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    void lstLocationHistory_Click();
    void lstLocationHistory_DblClick();
    // Button as 1 left, 2 right, 4 middle; x, y in the list's viewport.
    void lstLocationHistory_MouseDown(int button, int shift, int x, int y);
    void mnuRemoveItem_Click();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmOpenLocation(QWidget* parent = nullptr);
    ~frmOpenLocation() override;
    void unload();
};

} // namespace quavix
