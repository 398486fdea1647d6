#pragma once
// frmAbout: the About box. Modeless; at most one exists. showWith() fills it (the About
// text with its ampersands shown literally, the icon the caller shows now) and shows it;
// OK or closing unloads (deletes) it.
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <string>

namespace quavix {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    static frmAbout* instance();
    static frmAbout* loaded();
    // The program title and the version of this build, as one text.
    static std::string aboutText(const std::string& title);

    QFrame* Frame1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdOK = nullptr;

    void showWith(const std::string& title, const QPixmap& icon);
    void cmdOK_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the box as OK does.
    void reject() override;

private:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;
    void unload();
};

} // namespace quavix
