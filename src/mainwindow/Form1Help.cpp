// Form1's Help commands.
#include "Form1.h"
#include "HelpPage.h"
#include "about/frmAbout.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QCoreApplication>

namespace quavix {

void Form1::mnuHelpOnLine_Click()
{
    Services& s = services();
    std::optional<std::string> browser = s.browser->findBrowser();
    if (!browser) {
        s.dialogs->messageBox("Browser Not Found", "Could not find associated Browser",
                              MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    const std::string address =
        helpPageAddress(QCoreApplication::applicationDirPath().toStdString());
    if (!s.browser->open(*browser, address))
        s.dialogs->messageBox("URL Failed", "Web Page not Opened", MsgIcon::Exclamation,
                              MsgButtons::Ok);
}

void Form1::mnuHelpAbout_Click()
{
    frmAbout::instance()->showWith(services().process->title(), Image1->pixmap());
}

} // namespace quavix
