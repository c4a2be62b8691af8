#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sonarch {

// The generations of Access database file, as the first page of the file names them.
enum class AccessFormat {
    Jet3,  // Access 97
    Jet4,  // Access 2000 to 2003
    Ace,   // Access 2007 and later (.accdb)
};

// What the first bytes of a file say it is; nothing for anything but an Access database.
std::optional<AccessFormat> AccessFormatOfHeader(std::string_view firstBytes);

// The same for a file, read without ever opening it for writing; nothing when the file
// cannot be read or is no Access database.
std::optional<AccessFormat> AccessFormatOf(const std::string& path);

// The format in words, such as "Access 97 (Jet 3)".
std::string AccessFormatName(AccessFormat format);

}  // namespace sonarch
