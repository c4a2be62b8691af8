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

// A stored library path as the options dialog shows it, in UTF-8: a UTF-8 path as it is,
// any other one read byte for byte as Latin-1 (the usual other encoding of file names), so
// every path shows readably, never with replacement marks.
std::string PathForField(const std::string& stored);
// What "OK" keeps from the field: the stored bytes while the field shows them unchanged
// (a path that is not UTF-8 must not come back re-encoded), else the text as typed.
std::string PathFromField(const std::string& field, const std::string& stored);

}  // namespace sonarch
