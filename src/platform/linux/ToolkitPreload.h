#pragma once
// The toolkit's own plugins, loaded ahead of it on another thread.
//
// At start-up the toolkit spends milliseconds loading its X11 platform plugin (with the xcb
// libraries behind it), the X cursor library and the input method plugin, one after the
// other on the main thread. Loaded from a second thread while the main thread is still
// setting up the application, they are in memory when the toolkit asks for them, and its
// own load only counts a reference.
//
// toolkitPreloads() names what the toolkit will load in this environment, from the same
// variables it reads: only the X11 platform ("xcb", chosen or the default outside a
// Wayland session) with a display, the default plugin folder (no QT_PLUGIN_PATH or
// QT_QPA_PLATFORM_PLUGIN_PATH) and the input method plugin only when QT_IM_MODULE is unset
// or "compose". Anything else gives an empty list: a wrong guess would only load a library
// for nothing, but there is no reason to.
//
// preload() opens each library as the toolkit does (lazy binding, local symbols) and keeps
// it open for the life of the process. A library that cannot be opened is skipped: the
// toolkit then fails, or not, exactly as it would have. Thread-safe; call it from any thread.
#include <functional>
#include <string>
#include <vector>

namespace quavix::toolkit {

using Environment = std::function<const char*(const char* name)>;

std::vector<std::string> toolkitPreloads(const Environment& env, const std::string& pluginFolder);

// The plugin folder the toolkit was built with; call on the main thread.
std::string defaultPluginFolder();

void preload(const std::vector<std::string>& libraries);

} // namespace quavix::toolkit
