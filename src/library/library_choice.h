#pragma once

namespace sonarch {

// What the settings hold when no library has been chosen; it names no library.
inline constexpr const char* kNoDatabase = "None selected";

}  // namespace sonarch
