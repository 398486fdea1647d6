#pragma once
// Cuts the folder part off a full file name.
#include <string>

namespace quavix {

class clsGetDriveDirFromFilename {
public:
    // Everything up to and including the last "/" ("/" for a file in the root folder);
    // the empty text when the name holds no "/". The argument is not changed.
    std::string fPerformGetDriveDirFromFilename(const std::string& ls_FileName);
};

} // namespace quavix
