#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sonarch {

// The command line a desktop entry runs: the program, quoted when its path holds a
// character the desktop-entry rules reserve, then the field code (" %U" for the URLs the
// desktop passes). Unescaped: EscapeDesktopValue makes it a value of the file.
std::string ExecLineFor(const std::string& programPath, std::string_view fieldCode = "%U");

// A string value as a desktop entry stores it, and back.
std::string EscapeDesktopValue(std::string_view value);
std::string UnescapeDesktopValue(std::string_view value);

// The value of `key` in the group `[group]` of a desktop-entry file, unescaped; nothing
// when the group or the key is missing.
std::optional<std::string> DesktopEntryValue(const std::string& text, std::string_view group,
                                             std::string_view key);

// The player's entry for inserted audio CDs, and Plasma's device action that runs it.
std::string CdPlayerEntryText(const std::string& execLine, const std::string& iconName);
std::string CdPlayerActionText(const std::string& execLine, const std::string& iconName);

}  // namespace sonarch
