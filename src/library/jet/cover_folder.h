#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace sonarch {

// The last part of a cover path as an old library keeps it ("C:\Music\Covers\x.jpg"
// gives "x.jpg"), whether it was written with backslashes or slashes.
std::string CoverFileName(std::string_view coverText);

// The pictures of one folder, found by the file name a cover path ends in: exactly, or
// else in any letter case, as Windows finds them.
class CoverFolder {
public:
    // Fails in plain words when `folder` is no folder that can be read.
    static Result<CoverFolder> open(const std::string& folder);

    // The absolute path of the picture the cover path names; nothing when the folder has
    // no file of that name.
    std::optional<std::string> find(std::string_view coverText) const;

    const std::filesystem::path& path() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    std::map<std::string, std::string, std::less<>> m_names;   // as written
    std::map<std::string, std::string, std::less<>> m_folded;  // in small letters
};

}  // namespace sonarch
