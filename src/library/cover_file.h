#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace sonarch {

// The picture type a file's first bytes show: "jpg", "png", "gif" or "webp"; nothing for
// anything else.
std::optional<std::string> PictureExtension(std::string_view bytes);

// A cover picture saved beside a library, as covers/NAME.EXT (the extension from the
// picture's own bytes). It is written in full under a scratch name and renamed into
// place, so no reader ever sees half a picture, and removed again when this object goes
// unless kept: a disc that was not added leaves no cover behind. A cover of that name
// that was there before is replaced, and never removed.
class CoverFile {
public:
    // `name` is letters, digits and hyphens only (a MusicBrainz release ID, say).
    static Result<CoverFile> save(const std::string& library, const std::string& name,
                                  std::string_view picture);

    CoverFile(CoverFile&& other) noexcept;
    CoverFile& operator=(CoverFile&&) = delete;
    CoverFile(const CoverFile&) = delete;
    CoverFile& operator=(const CoverFile&) = delete;
    ~CoverFile();

    // The absolute path, as the library's Cover column holds it.
    std::string path() const { return m_path.string(); }
    // The disc was added: the picture stays.
    void keep() { m_kept = true; }

private:
    CoverFile(std::filesystem::path path, bool made) : m_path(std::move(path)), m_made(made) {}

    std::filesystem::path m_path;
    bool m_made = false;  // there was no file of this name before
    bool m_kept = false;
};

}  // namespace sonarch
