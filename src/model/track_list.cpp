#include "model/track_list.h"

#include "base/time_text.h"
#include "device/images/disc_text.h"

namespace sonarch {

namespace {

const std::string& orIfEmpty(const std::string& text, const std::string& otherwise) {
    return text.empty() ? otherwise : text;
}

}  // namespace

const TrackRow* TrackList::row(int row) const {
    if (row < 1 || row > count()) {
        return nullptr;
    }
    return &m_rows[std::size_t(row - 1)];
}

void TrackList::replace(std::vector<TrackRow> rows) {
    if (rows.empty() && m_rows.empty()) {
        return;
    }
    m_rows = std::move(rows);
    emit rowsReplaced();
}

void TrackList::setRating(int row, int rating) {
    if (row < 1 || row > count() || m_rows[std::size_t(row - 1)].rating == rating) {
        return;
    }
    m_rows[std::size_t(row - 1)].rating = rating;
    emit rowChanged(row);
}

std::vector<TrackRow> TrackList::defaultRows(const std::vector<std::string>& lengths,
                                             const DiscText& text) {
    static const std::string kUnknown = "Unknown";
    const std::string& album = orIfEmpty(text.title, kUnknown);
    std::vector<TrackRow> rows;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const int track = int(i + 1);
        const TrackText none;
        const TrackText& said = i < text.tracks.size() ? text.tracks[i] : none;
        rows.push_back({track, lengths[i], orIfEmpty(said.title, "Track " + twoDigits(track)),
                        orIfEmpty(said.performer, orIfEmpty(text.performer, kUnknown)), album,
                        track, 0});
    }
    return rows;
}

}  // namespace sonarch
