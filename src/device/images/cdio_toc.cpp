#include "device/images/cdio_toc.h"

#include <cdio/cdio.h>

namespace sonarch {

DiscToc CdioTableOfContents(CdIo_t* cdio) {
    DiscToc toc;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) {
        return toc;
    }
    for (int t = first; t < first + count; ++t) {
        const auto track = static_cast<track_t>(t);
        toc.tracks.push_back({t, cdio_get_track_lsn(cdio, track),
                              cdio_get_track_format(cdio, track) == TRACK_FORMAT_AUDIO});
    }
    toc.leadoutSector = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    return toc;
}

}  // namespace sonarch
