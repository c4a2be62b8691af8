#include "library/cover_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace sonarch {

namespace {

bool isPlainName(const std::string& name) {
    if (name.empty() || name.size() > 100) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '-') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> PictureExtension(std::string_view bytes) {
    auto startsWith = [&](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };
    if (startsWith("\xFF\xD8\xFF")) {
        return "jpg";
    }
    if (startsWith("\x89PNG\r\n\x1A\n")) {
        return "png";
    }
    if (startsWith("GIF87a") || startsWith("GIF89a")) {
        return "gif";
    }
    if (bytes.size() >= 12 && startsWith("RIFF") && bytes.substr(8, 4) == "WEBP") {
        return "webp";
    }
    return std::nullopt;
}

Result<CoverFile> CoverFile::save(const std::string& library, const std::string& name,
                                  std::string_view picture) {
    using R = Result<CoverFile>;
    namespace fs = std::filesystem;
    const auto extension = PictureExtension(picture);
    if (!extension) {
        return R::failure("the cover is not a picture (JPEG, PNG, GIF or WebP).");
    }
    if (!isPlainName(name)) {
        return R::failure("a cover cannot be named \"" + name + "\".");
    }
    std::error_code error;
    const fs::path folder =
        fs::absolute(library, error).lexically_normal().parent_path() / "covers";
    fs::create_directories(folder, error);
    if (error) {
        return R::failure("cannot make the covers folder \"" + folder.string() +
                          "\": " + error.message() + ".");
    }
    const fs::path path = folder / (name + "." + *extension);
    const bool made = !fs::exists(path, error);
    std::string scratch = (folder / ("." + name + ".XXXXXX")).string();
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) {
        return R::failure("cannot write a cover into \"" + folder.string() + "\".");
    }
    const bool written = ::write(fd, picture.data(), picture.size()) == ssize_t(picture.size()) &&
                         ::fchmod(fd, 0644) == 0;
    ::close(fd);
    if (written) {
        fs::rename(scratch, path, error);
    }
    if (!written || error) {
        fs::remove(scratch, error);
        return R::failure("cannot write the cover \"" + path.string() + "\".");
    }
    return R::success(CoverFile(path, made));
}

CoverFile::CoverFile(CoverFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_made(std::exchange(other.m_made, false)),
      m_kept(other.m_kept) {}

CoverFile::~CoverFile() {
    if (m_made && !m_kept) {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
}

}  // namespace sonarch
