#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <vector>

namespace sonarch {

struct DiscText;

// One row of the track list. Numbers are numbers; the views format them.
struct TrackRow {
    std::optional<int> number;  // the track's number; none when the library's is no number
    std::string length;         // "mm:ss"
    std::string title;
    std::string artist;
    std::string album;
    int orderKey = 0;           // 0 on library rows, the track number on rows built here
    std::optional<int> rating;  // 0 not rated, 1..10; none when the library holds no number

    bool operator==(const TrackRow&) const = default;
};

// The rows of the track list, in track order: row `currentTrack` (counted from 1) is the
// current track's. They come from the library, or are built for a disc it does not know.
class TrackList : public QObject {
    Q_OBJECT
public:
    int count() const { return static_cast<int>(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }
    // Row `row` counted from 1, or null when there is no such row.
    const TrackRow* row(int row) const;
    const std::vector<TrackRow>& rows() const { return m_rows; }

    void replace(std::vector<TrackRow> rows);
    void clear() { replace({}); }
    void setRating(int row, int rating);

    // The rows of a disc the library does not know: "Track 01" by "Unknown" on "Unknown",
    // or what the disc's CD-TEXT says where it says it. `lengths` are tracks 1..N as mm:ss.
    static std::vector<TrackRow> defaultRows(const std::vector<std::string>& lengths,
                                             const DiscText& text);

signals:
    void rowsReplaced();
    void rowChanged(int row);

private:
    std::vector<TrackRow> m_rows;
};

}  // namespace sonarch
