#include "frmResetSongFileName.h"

#include "engine/SongRename.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quavix {

namespace {

std::string text(const QLineEdit* field)
{
    return field->text().toStdString();
}

} // namespace

frmResetSongFileName::frmResetSongFileName(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmResetSongFileName");
    setWindowTitle("Reset Song File Name");
    // Only the strip decides when the program ends; closing this window while the strip
    // is hidden in the tray must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* grid = new QGridLayout;
    auto row = [&](const char* caption, const char* name, QLabel*& label, QLineEdit*& field) {
        label = new QLabel(caption, this);
        field = new QLineEdit(this);
        field->setObjectName(name);
        field->setMinimumWidth(360);
        label->setBuddy(field);
        int r = grid->rowCount();
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r, 1);
    };
    row("Current Name: ", "txtCurrentName", lblCurrentName, txtCurrentName);
    row("Artist: ", "txtArtist", lblArtist, txtArtist);
    row("CD Name (work): ", "txtCDName", lblCDName, txtCDName);
    row("Year: ", "txtYear", lblYear, txtYear);
    row("Song Title: ", "txtSongTitle", lblSongTitle, txtSongTitle);
    txtCurrentName->setReadOnly(true);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmResetSongFileName::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmResetSongFileName::cmdCancel_Click);
}

void frmResetSongFileName::setCurrentName(const std::string& name)
{
    txtCurrentName->setText(QString::fromStdString(name));
}

void frmResetSongFileName::setSongPath(const std::string& path)
{
    ms_SongPath = path;
}

void frmResetSongFileName::showModeless()
{
    show();
    raise();
    activateWindow();
}

void frmResetSongFileName::hideDialog()
{
    hide();
}

void frmResetSongFileName::cmdOK_Click()
{
    if (mBusy)
        return;
    mBusy = true;
    bool renamed = confirmSongRename(
        ms_SongPath, {text(txtArtist), text(txtCDName), text(txtYear), text(txtSongTitle)});
    mBusy = false;
    if (renamed)
        hideDialog();
}

void frmResetSongFileName::cmdCancel_Click()
{
    confirmCancelRename();
}

void installResetSongFileName()
{
    setResetSongFileNameLoader([] { return std::make_unique<frmResetSongFileName>(); });
    // A window still loaded when the program returns from main would outlive the toolkit.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [] { unloadResetSongFileName(); });
}

} // namespace quavix
