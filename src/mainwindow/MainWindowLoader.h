#pragma once
// Registers the loader of the main window: the first use of mainWindow() creates Form1 and
// runs its load handler. The window lives until the application quits.
namespace quavix {

void installMainWindow();

} // namespace quavix
