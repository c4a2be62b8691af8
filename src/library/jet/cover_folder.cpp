#include "library/jet/cover_folder.h"

namespace sonarch {

namespace {

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return out;
}

}  // namespace

std::string CoverFileName(std::string_view coverText) {
    const std::size_t slash = coverText.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? coverText : coverText.substr(slash + 1));
}

Result<CoverFolder> CoverFolder::open(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path where = fs::absolute(folder, error).lexically_normal();
    if (error || !fs::is_directory(where, error)) {
        return Result<CoverFolder>::failure("The cover folder \"" + folder + "\" is not a folder.");
    }
    CoverFolder covers;
    covers.m_folder = where;
    fs::directory_iterator entries(where, error);
    if (error) {
        return Result<CoverFolder>::failure("The cover folder \"" + folder +
                                            "\" cannot be read: " + error.message() + ".");
    }
    for (const fs::directory_entry& entry : entries) {
        std::error_code ignored;
        if (!entry.is_regular_file(ignored)) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        covers.m_names.emplace(name, (where / name).string());
    }
    // Of names that differ only in letter case, the first in order stands for them all.
    for (const auto& [name, full] : covers.m_names) {
        covers.m_folded.emplace(folded(name), full);
    }
    return Result<CoverFolder>::success(std::move(covers));
}

std::optional<std::string> CoverFolder::find(std::string_view coverText) const {
    const std::string name = CoverFileName(coverText);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    if (const auto exact = m_names.find(name); exact != m_names.end()) {
        return exact->second;
    }
    if (const auto loose = m_folded.find(folded(name)); loose != m_folded.end()) {
        return loose->second;
    }
    return std::nullopt;
}

}  // namespace sonarch
