#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sonarch {

// The fast forward or rewind step as typed: a whole number of seconds that fits 32 bits
// (blanks around it allowed); nothing for any other text.
std::optional<std::int32_t> ParseSeekStep(const std::string& text);

// A library name chosen in the browse dialog, ending in ".dbd" in any letter case.
std::string WithLibraryExtension(const std::string& name);

}  // namespace sonarch
