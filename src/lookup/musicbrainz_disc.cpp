#include "lookup/musicbrainz_disc.h"

#include <discid/discid.h>

#include <memory>
#include <vector>

namespace sonarch {

namespace {

// The lead-in of a second session and its table of contents lie between the last audio
// track and a data track that follows it.
constexpr std::int32_t kSessionGap = 11400;

struct DiscIdDeleter {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

}  // namespace

Result<MusicBrainzDisc> MusicBrainzDiscOf(const DiscToc& toc) {
    using R = Result<MusicBrainzDisc>;
    std::size_t audioEnd = toc.tracks.size();
    while (audioEnd > 0 && !toc.tracks[audioEnd - 1].audio) {
        --audioEnd;
    }
    if (audioEnd == 0) {
        return R::failure("the disc has no audio tracks.");
    }
    std::int32_t leadout = toc.leadoutSector;
    if (audioEnd < toc.tracks.size()) {
        const std::int32_t dataStart = toc.tracks[audioEnd].startSector;
        leadout = dataStart - kSessionGap > toc.tracks[audioEnd - 1].startSector
                      ? dataStart - kSessionGap
                      : dataStart;
    }
    const int first = toc.tracks.front().number;
    const int last = toc.tracks[audioEnd - 1].number;
    if (first < 1 || last > 99) {
        return R::failure("the disc's tracks are not numbered 1 to 99.");
    }
    // libdiscid takes addresses (sector 0 is 150) by track number, the lead-out at 0.
    std::vector<int> offsets(100, 0);
    offsets[0] = leadout + kAddressOffset;
    for (std::size_t i = 0; i < audioEnd; ++i) {
        offsets[std::size_t(toc.tracks[i].number)] = toc.tracks[i].startSector + kAddressOffset;
    }
    std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc || !discid_put(disc.get(), first, last, offsets.data())) {
        return R::failure("the disc's table of contents gives no MusicBrainz disc ID" +
                          (disc ? ": " + std::string(discid_get_error_msg(disc.get())) : "."));
    }
    MusicBrainzDisc found{discid_get_id(disc.get()), discid_get_toc_string(disc.get()), first,
                          last};
    for (char& c : found.toc) {
        if (c == ' ') {
            c = '+';
        }
    }
    return R::success(std::move(found));
}

}  // namespace sonarch
