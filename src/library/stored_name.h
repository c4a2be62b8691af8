#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sonarch {

// Titles, artists and album names from a disc or the network are kept to this many
// characters, the most a text column of the original library format held.
inline constexpr std::size_t kStoredNameLength = 255;

// Such a name as the library keeps it: one line of UTF-8 (control characters become
// blanks, text that is not UTF-8 is read as Latin-1), cut at a character boundary.
std::string StoredName(std::string_view text);

}  // namespace sonarch
