#include "librarian/disc_save.h"

#include <cstdint>
#include <cstdio>

#include "library/cover_file.h"

namespace sonarch {

std::string CoverNameOf(std::string_view bytes) {
    // FNV-1a: a name, not a secret.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("cover-") + hex;
}

Result<DiscDraft> SaveDraft(LibraryFile& library, const std::optional<DiscDraft>& before,
                            DiscDraft after, const std::optional<PendingCover>& cover) {
    using R = Result<DiscDraft>;
    std::optional<CoverFile> saved;
    if (cover) {
        auto written = CoverFile::save(library.path(), cover->name, cover->bytes);
        if (!written.ok()) {
            return R::failure("The cover was not saved: " + written.error());
        }
        saved.emplace(std::move(written.value()));
        after.cover = saved->path();
    }
    if (!before) {
        const auto added = library.addDisc(EntryOfDraft(after), IfDiscPresent::Refuse);
        if (!added.ok()) {
            return R::failure(added.error());
        }
    } else if (const auto edit = EditBetween(*before, after)) {
        const auto edited = library.editDisc(after.key, *edit);
        if (!edited.ok()) {
            return R::failure(edited.error());
        }
        if (edited.value() == 0) {
            return R::failure("The disc is no longer in the library: something else removed it.");
        }
    }
    if (saved) {
        saved->keep();
    }
    return R::success(std::move(after));
}

}  // namespace sonarch
