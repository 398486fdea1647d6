#pragma once
// The real main window on doubles: the rig without its stand-in window, a recording tray, a
// scripted window system and an in-memory classes registry.
#include "mainwindow/Form1.h"
#include "support/Rig.h"

#include <memory>

namespace quavix::testing {

class FormRig {
public:
    Rig rig{false};
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    fakes::MemoryClassesRegistry classes;
    std::unique_ptr<Form1> form;

    FormRig()
    {
        services().tray = &tray;
        services().windows = &windows;
        services().classes = &classes;
    }
    ~FormRig()
    {
        setMainWindowLoader(nullptr);
        form.reset();
    }
    // A freshly loaded main window; installed, it is also the one mainWindow() answers.
    Form1& load(bool installed = false)
    {
        setMainWindowLoader(nullptr);
        form.reset();
        form = std::make_unique<Form1>();
        form->Form_Load();
        if (installed) {
            setMainWindowLoader([this] { return form.get(); });
            mainWindow();
        }
        return *form;
    }
};

} // namespace quavix::testing
