#include "MainWindowLoader.h"

#include "mainwindow/Form1.h"
#include "startup/Services.h"

#include <QCoreApplication>
#include <QPointer>
#include <cstdlib>

namespace quavix {

namespace {
QPointer<Form1>& made()
{
    static QPointer<Form1> form;
    return form;
}
} // namespace

void installMainWindow()
{
    setMainWindowLoader([]() -> MainWindowPort* {
        auto* form = new Form1;
        made() = form;
        // An unloaded window is only hidden (handlers may still be running in it); every
        // window made here goes when the application quits.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                         [p = QPointer<Form1>(form)] { delete p.data(); });
        form->Form_Load();
        return form;
    });
}

Form1* loadedForm1()
{
    Form1* form = made().data();
    return form && mainWindowIfLoaded() == form ? form : nullptr;
}

namespace {
bool g_saveAtExit = false;
} // namespace

void armSaveAtExit()
{
    static const bool registered = [] {
        std::atexit([] {
            if (!g_saveAtExit)
                return;
            g_saveAtExit = false;
            if (Form1* form = loadedForm1())
                form->saveUnloadOptions();
        });
        return true;
    }();
    (void)registered;
    g_saveAtExit = true;
}

void disarmSaveAtExit()
{
    g_saveAtExit = false;
}

void closeMainWindowWithoutAsking()
{
    Form1* form = loadedForm1();
    if (form && !form->isUnloaded()) {
        form->closeWithoutAsking(Form1::CloseReason::TaskManager);
        return;
    }
    services().process->endProgram();
}

} // namespace quavix
