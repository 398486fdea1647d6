#include "frmAbout.h"

#include "engine/clsAdjustForAmpersand.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quavix {

namespace {
frmAbout* g_instance = nullptr;
}

frmAbout* frmAbout::instance()
{
    if (!g_instance)
        g_instance = new frmAbout;
    return g_instance;
}

frmAbout* frmAbout::loaded()
{
    return g_instance;
}

std::string frmAbout::aboutText(const std::string& title)
{
    return title + " " + QUAVIX_VERSION +
           "\n\nA small audio player that rides in the caption "
           "of the window in front.";
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Zethra"));
    setModal(false);
    // A dialog with no parent would otherwise keep the program alive alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    Frame1 = new QFrame(this);
    Frame1->setFrameShape(QFrame::StyledPanel);
    Image1 = new QLabel(Frame1);
    Image1->setFixedSize(32, 32);
    Image1->setScaledContents(true);
    Label1 = new QLabel(QStringLiteral("Label1"), Frame1);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    // With a buddy the label reads "&&" as one literal ampersand.
    Label1->setBuddy(cmdOK);

    auto* inner = new QHBoxLayout(Frame1);
    inner->addWidget(Image1, 0, Qt::AlignTop);
    inner->addWidget(Label1, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Frame1);
    outer->addWidget(cmdOK, 0, Qt::AlignRight);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

frmAbout::~frmAbout()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void frmAbout::showWith(const std::string& title, const QPixmap& icon)
{
    std::string text = aboutText(title);
    clsAdjustForAmpersand().fPerformAdjustForAmpersand(text);
    Label1->setText(QString::fromStdString(text));
    Image1->setPixmap(icon);
    show();
    raise();
    activateWindow();
}

void frmAbout::cmdOK_Click()
{
    unload();
}

void frmAbout::reject()
{
    cmdOK_Click();
}

void frmAbout::closeEvent(QCloseEvent* event)
{
    event->accept();
    unload();
}

void frmAbout::unload()
{
    if (g_instance == this)
        g_instance = nullptr;
    hide();
    deleteLater();
}

} // namespace quavix
