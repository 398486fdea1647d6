#pragma once
// How an entry (a byte string in any encoding) is shown and compared.
#include <QString>
#include <string>
#include <string_view>

namespace quavix {

// The entry as text for the user: UTF-8 when the bytes are valid UTF-8, otherwise each
// byte as its Latin-1 character, so that any name is readable and none shows as boxes.
QString entryText(std::string_view entry);

// A key that orders entries alphabetically without regard to case: the shown text, case
// folded, as UTF-8 (which compares bytewise in code point order).
std::string entrySortKey(std::string_view entry);

} // namespace quavix
