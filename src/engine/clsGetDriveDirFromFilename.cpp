#include "clsGetDriveDirFromFilename.h"

namespace quavix {

std::string
clsGetDriveDirFromFilename::fPerformGetDriveDirFromFilename(const std::string& ls_FileName)
{
    std::size_t slash = ls_FileName.rfind('/');
    if (slash == std::string::npos)
        return {};
    return ls_FileName.substr(0, slash + 1);
}

} // namespace quavix
