#include "MainWindowLoader.h"

#include "mainwindow/Form1.h"
#include "startup/Services.h"

#include <QCoreApplication>
#include <QPointer>

namespace quavix {

void installMainWindow()
{
    setMainWindowLoader([]() -> MainWindowPort* {
        auto* form = new Form1;
        // An unloaded window is only hidden (handlers may still be running in it); every
        // window made here goes when the application quits.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                         [p = QPointer<Form1>(form)] { delete p.data(); });
        form->Form_Load();
        return form;
    });
}

void closeMainWindowWithoutAsking()
{
    auto* form = dynamic_cast<Form1*>(mainWindowIfLoaded());
    if (form && !form->isUnloaded()) {
        form->closeWithoutAsking(Form1::CloseReason::TaskManager);
        return;
    }
    if (services().process)
        services().process->endProgram();
}

} // namespace quavix
