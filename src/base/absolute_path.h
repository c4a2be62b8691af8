#pragma once

#include <filesystem>
#include <string>

namespace sonarch {

// A path named from the root, so that it means the same from another folder or another
// process. Bytes are kept as given; "." steps are dropped, ".." kept (it may lead back out
// of a symbolic link).
inline std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    std::filesystem::path tidy;
    for (const std::filesystem::path& part : absolute) {
        if (part != ".") {
            tidy /= part;
        }
    }
    return tidy.string();
}

}  // namespace sonarch
