#pragma once

#include <cstdint>
#include <string>

namespace sonarch {

class DeviceLayer;
class LibraryStore;
class Messages;
class PlayerDisplay;
class TrackList;
struct PlayerState;

// How a rating ended: stored, or why not (nothing changed then).
enum class RatingOutcome { Stored, NoLibrary, NotInLibrary, Failed };

// The session's library operations: the disc lookup, ratings and the two comments, on the
// library the settings name and the disc the last lookup keyed. A store error is shown to
// the user (the lookup's as a notice in the status line); the player goes on.
class LibraryOperations {
public:
    LibraryOperations(const LibraryStore& library, Messages& messages, PlayerState& state,
                      PlayerDisplay& display, TrackList& tracks, DeviceLayer& device)
        : m_library(library),
          m_messages(messages),
          m_state(state),
          m_display(display),
          m_tracks(tracks),
          m_device(device) {}

    // Keys the disc in the drive and fills the list with its rows. The key closes and
    // reopens the device and lets pending events run meanwhile.
    void GetCDToc();
    bool available() const;

    // Stores the rating of track `track` and shows it in its row, and in the stars when it
    // is the current track. Nothing changes without a library, nor for a disc (or track)
    // the library has no row of: nothing would be kept.
    RatingOutcome SetTrackRating(int track, std::int16_t rating);

    // The texts, empty when there are none; a store error is shown to the user.
    std::string loadTrackComment(int track);
    std::string loadAlbumComment();
    // True when the text was stored.
    bool saveTrackComment(int track, const std::string& text);
    bool saveAlbumComment(const std::string& text);
    // Quietly: empty when there is none or it cannot be read.
    std::string trackComment(int track) const;

private:
    const LibraryStore& m_library;
    Messages& m_messages;
    PlayerState& m_state;
    PlayerDisplay& m_display;
    TrackList& m_tracks;
    DeviceLayer& m_device;
};

}  // namespace sonarch
