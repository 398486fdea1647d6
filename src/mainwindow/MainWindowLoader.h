#pragma once
// Registers the loader of the main window: the first use of mainWindow() creates Form1 and
// runs its load handler. The window lives until the application quits.
namespace quavix {

class Form1;

void installMainWindow();

// The window installMainWindow() made, while it is loaded; nullptr before and after.
Form1* loadedForm1();

// The process is told to end (a kill by the session or a task manager): Form1 closes without
// the exit question, runs its unload steps (the options are saved) and the program ends.
// Without a loaded window there is nothing to save: the program ends at once.
void closeMainWindowWithoutAsking();

// The toolkit ends the process with exit() when the connection to the display is lost (an X
// server that dies, a logout without a session manager), unloading nothing. Armed, the
// main window's options are saved at that exit all the same, unless its unload saved them.
// Disarm before the services the window uses go out of scope.
void armSaveAtExit();
void disarmSaveAtExit();

} // namespace quavix
