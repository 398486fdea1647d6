#pragma once
// The outside services the program reaches, one instance each. The program's entry point
// (or a test) fills this in before anything runs; nothing else constructs real services.
#include "platform/Browser.h"
#include "platform/ClassesRegistry.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MediaPlayer.h"
#include "platform/OptionsStore.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Tray.h"
#include "platform/WindowSystem.h"

namespace quavix {

struct Services {
    MediaPlayer* media = nullptr;
    Profile* profile = nullptr;
    OptionsStore* options = nullptr;
    ClassesRegistry* classes = nullptr;
    Tray* tray = nullptr;
    Dialogs* dialogs = nullptr;
    Process* process = nullptr;
    Clock* clock = nullptr;
    Random* random = nullptr;
    WindowSystem* windows = nullptr;
    Browser* browser = nullptr;

    // Whether every service is set, as it must be before anything runs.
    bool complete() const
    {
        return media && profile && options && classes && tray && dialogs && process && clock &&
               random && windows && browser;
    }
};

Services& services();

} // namespace quavix
