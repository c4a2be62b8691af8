#pragma once

#include <optional>
#include <string>

#include "core/colours.h"

namespace sonarch {

// One row of the track list: number, length, title, artist, album, order key, rating.
struct TrackRow {
    std::string number;
    std::string length;
    std::string title;
    std::string artist;
    std::string album;
    std::string orderKey;
    std::string rating;

    bool operator==(const TrackRow&) const = default;
};

enum class Indicator { Stop, Pause, Play };

enum class Caption { TimeWindow, BarTime, Track, BarTrack, TotalTime, BarTotal, TrackCount };

enum class TrackField { Title, Artist, Album };

// What the player's logic does to the window. The window implements it by turning each
// call into its controls; the logic never touches a widget.
class PlayerView {
public:
    virtual ~PlayerView() = default;

    virtual void setTransportEnabled(bool enabled) = 0;  // buttons, bar buttons, menu items
    virtual void setEjectEnabled(bool enabled) = 0;
    virtual void setIndicatorVisible(Indicator indicator, bool visible) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressWidth(int percent) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setCaption(Caption caption, const std::string& text) = 0;
    virtual void setTrackField(TrackField field, const std::string& text) = 0;
    virtual void setTrackNumberColour(int index, WinColour colour) = 0;  // N(0)..N(9)
    virtual void setMoreVisible(bool visible) = 0;
    virtual void hideMoreTrackItems() = 0;  // MT(12)..MT(30)

    virtual void setEjectCaption(const std::string& caption) = 0;  // mnuEject
    virtual void repaintStatusNow() = 0;  // shows Info at once, before a slow command

    virtual int trackRowCount() const = 0;
    virtual std::optional<TrackRow> trackRow(int row) const = 0;  // counted from 1
    virtual void addTrackRow(const TrackRow& row) = 0;
    virtual void selectTrackRow(int row) = 0;  // selects and scrolls unless already selected
    virtual std::optional<int> selectedTrackRow() const = 0;
    virtual void clearTrackRows() = 0;
    virtual void AutoSize() = 0;

    // The library's part of the window: lookup, stars and cover.
    virtual void GetCDToc() = 0;
    virtual void ShowStar(int rating) = 0;
    virtual bool coverPanelVisible() const = 0;
    virtual void LoadImage(const std::string& path) = 0;
    virtual void clearCover() = 0;

    // Lets pending window events run, as the disc key computation does.
    virtual void letEventsRun() = 0;
};

}  // namespace sonarch
