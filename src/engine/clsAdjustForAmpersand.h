#pragma once
// Doubles the ampersands of a text, so that a caption which takes "&" as the mark of an
// access key shows them literally.
#include <string>

namespace quavix {

class clsAdjustForAmpersand {
public:
    // Doubles every "&" (the last one too); changes `text` in place and returns the result.
    std::string fPerformAdjustForAmpersand(std::string& text);
};

} // namespace quavix
