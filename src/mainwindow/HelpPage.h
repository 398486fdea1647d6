#pragma once
// The program's own help page, shipped beside it: <program folder>/../share/quavix/help.html
// (the build copies it to the same place relative to the built program).
#include <string>

namespace quavix {

// The page's file:// address for a program in programDir (percent-encoded, so that blanks
// and quotes in the folder survive any browser's command line).
std::string helpPageAddress(const std::string& programDir);

} // namespace quavix
