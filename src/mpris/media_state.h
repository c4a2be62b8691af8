#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>

#include "core/player.h"

namespace sonarch {

// The current track as a desktop shows it.
struct TrackMetadata {
    QString trackId;  // an object path; empty when there is no current track
    QString title;
    QString artist;
    QString album;
    int trackNumber = 0;
    std::int64_t lengthUs = 0;
    QString artUrl;      // file:// URI of the cover, when there is one
    double rating = -1;  // 0..1; below 0 when the track has none
    QString comment;

    bool operator==(const TrackMetadata&) const = default;
    // The MPRIS form: a{sv} with the xesam: and mpris: keys.
    QVariantMap toMap() const;
};

// Everything of the player that desktops are told of when it changes; the position is
// not in it: it is read on demand.
struct MediaState {
    QString playbackStatus = "Stopped";  // Playing | Paused | Stopped
    QString loopStatus = "None";         // Playlist while continuous play is on
    double volume = 0;                   // 0..1
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    TrackMetadata metadata;

    bool operator==(const MediaState&) const = default;
    // The properties by their MPRIS names: those that differ from `before`, or all of them.
    QVariantMap changedSince(const MediaState& before) const { return properties(&before); }
    QVariantMap all() const { return properties(nullptr); }

private:
    QVariantMap properties(const MediaState* before) const;
};

// The object path of track `track` of the track list numbered `listNumber`: the player's
// own, so that a desktop's move asked for a track of an earlier list is told apart.
QString TrackObjectPath(int listNumber, int track);
inline const char* const kNoTrackPath = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// The state as the player has it now, but for the metadata.
MediaState ReadMediaState(const Player& player);
// The metadata of the player's current track; the comment is passed in (the library is
// asked only when the track changes). The cover's file is looked at here, once per track.
TrackMetadata MetadataOf(const TrackSnapshot& track, int listNumber, const QString& comment);
QString PlaybackStatusText(PlaybackStatus status);
QString LoopStatusText(bool continuousPlay);
void SetTransportEnabled(MediaState& state, bool enabled);

// A level of the player's volume (0..65000) as the 0..1 of desktops, and back; values
// outside are taken to the nearest end.
double VolumeFromLevel(std::int32_t level);
std::int32_t LevelFromVolume(double volume);

}  // namespace sonarch
