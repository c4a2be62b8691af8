#pragma once

#include <string>
#include <string_view>

namespace sonarch {

// `text` fit for a message on a terminal or in a window: control characters (C0, DEL and
// C1) and bytes that are not UTF-8 are written as escapes (\n, \t, \r, \x1B, \u009B, \xE9),
// so a hostile name cannot move the cursor, clear the screen or break a line.
std::string PrintableText(std::string_view text);

}  // namespace sonarch
