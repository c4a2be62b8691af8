#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace sonarch {

// The bytes of a file named by someone else (a cover in a library, say), read only when it is
// a regular file of at most `limit` bytes. A pipe, a device, a folder or a larger file gives
// nothing, and nothing ever waits on it: the name is looked at before it is opened, opened
// without blocking, and the file that was opened is checked again, so that one swapped in
// meanwhile is refused as well.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit);

}  // namespace sonarch
