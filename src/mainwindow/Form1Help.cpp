// Form1's Help commands.
#include "Form1.h"
#include "about/frmAbout.h"
#include "startup/Globals.h"
#include "startup/Services.h"

namespace quavix {

void Form1::mnuHelpAbout_Click()
{
    const std::string title = services().process ? services().process->title() : ProgramTitle;
    frmAbout::instance()->showWith(title, Image1->pixmap());
}

} // namespace quavix
