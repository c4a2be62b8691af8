#include "device/drives/drive.h"

namespace sonarch {

bool TocLaysOutADisc(const DiscToc& toc) {
    if (toc.tracks.empty() || toc.tracks.size() > 99 || toc.tracks.front().startSector < 0 ||
        toc.firstTrack() < 1 || toc.lastTrack() > 99) {
        return false;
    }
    for (std::size_t i = 1; i < toc.tracks.size(); ++i) {
        if (toc.tracks[i].startSector <= toc.tracks[i - 1].startSector ||
            toc.tracks[i].number != toc.tracks[i - 1].number + 1) {
            return false;
        }
    }
    return toc.leadoutSector > toc.tracks.back().startSector &&
           toc.leadoutSector <= kMaxLeadoutSector;
}

}  // namespace sonarch
