#pragma once

#include <cstddef>
#include <string>

namespace sonarch {

// Comments are kept to this many characters in the library.
inline constexpr std::size_t kStoredCommentLength = 250;

// The first `count` characters of a UTF-8 text, never cutting a character in two.
std::string FirstCharacters(const std::string& text, std::size_t count);

// The part of a disc key that libraries store and look up: its first 250 characters.
std::string StoredDiscKey(const std::string& discKey);

}  // namespace sonarch
