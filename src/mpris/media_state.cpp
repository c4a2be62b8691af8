#include "mpris/media_state.h"

#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

#include "base/time_text.h"
#include "core/player.h"
#include "device/engine/audio_output.h"
#include "model/player_state.h"
#include "model/settings.h"
#include "model/track_list.h"

namespace sonarch {

QVariantMap TrackMetadata::toMap() const {
    QVariantMap map;
    map["mpris:trackid"] =
        QVariant::fromValue(QDBusObjectPath(trackId.isEmpty() ? kNoTrackPath : trackId));
    if (trackId.isEmpty()) {
        return map;
    }
    map["xesam:title"] = title;
    map["xesam:artist"] = QStringList{artist};
    map["xesam:album"] = album;
    map["xesam:trackNumber"] = trackNumber;
    map["mpris:length"] = qlonglong(lengthUs);
    if (!artUrl.isEmpty()) {
        map["mpris:artUrl"] = artUrl;
    }
    if (rating >= 0) {
        map["xesam:userRating"] = rating;
    }
    if (!comment.isEmpty()) {
        map["xesam:comment"] = QStringList{comment};
    }
    return map;
}

QVariantMap MediaState::properties(const MediaState* before) const {
    QVariantMap map;
    auto put = [&](const char* name, const auto& value, const auto& previous) {
        if (!before || !(value == previous)) {
            map[name] = QVariant::fromValue(value);
        }
    };
    const MediaState& b = before ? *before : *this;
    put("PlaybackStatus", playbackStatus, b.playbackStatus);
    put("LoopStatus", loopStatus, b.loopStatus);
    put("Volume", volume, b.volume);
    put("CanGoNext", canGoNext, b.canGoNext);
    put("CanGoPrevious", canGoPrevious, b.canGoPrevious);
    put("CanPlay", canPlay, b.canPlay);
    put("CanPause", canPause, b.canPause);
    put("CanSeek", canSeek, b.canSeek);
    if (!before || !(metadata == b.metadata)) {
        map["Metadata"] = metadata.toMap();
    }
    return map;
}

QString TrackObjectPath(int listNumber, int track) {
    return QString("/org/sonarch/CDPlayer/List%1/Track%2")
        .arg(listNumber)
        .arg(track, 2, 10, QChar('0'));
}

double VolumeFromLevel(std::int32_t level) {
    return std::clamp(double(level) / kFullVolume, 0.0, 1.0);
}

std::int32_t LevelFromVolume(double volume) {
    if (!(volume > 0)) {
        return 0;  // negative, zero or not a number: silent
    }
    return static_cast<std::int32_t>(roundHalfEven(std::min(volume, 1.0) * kFullVolume));
}

namespace {

TrackMetadata readMetadata(const Player& player, int listNumber, const QString& comment) {
    const PlayerState& state = player.state();
    const TrackRow* row = player.trackList().row(state.currentTrack);
    if (!state.discLoaded || state.currentTrack < 1 || !row) {
        return {};
    }
    TrackMetadata track;
    track.trackId = TrackObjectPath(listNumber, state.currentTrack);
    track.title = QString::fromStdString(row->title);
    track.artist = QString::fromStdString(row->artist);
    track.album = QString::fromStdString(row->album);
    track.trackNumber = state.currentTrack;
    if (const std::string* length = state.trackLength(state.currentTrack)) {
        track.lengthUs = std::int64_t(roundHalfEven(double(TextToSeconds(*length)))) * 1'000'000;
    }
    if (!state.coverPath.empty() && QFileInfo(QString::fromStdString(state.coverPath)).isFile()) {
        track.artUrl = QUrl::fromLocalFile(QString::fromStdString(state.coverPath)).toString();
    }
    if (row->rating) {
        track.rating = std::clamp(*row->rating, 0, 10) / 10.0;
    }
    track.comment = comment;
    return track;
}

}  // namespace

MediaState ReadMediaState(const Player& player, int listNumber, const QString& comment) {
    MediaState media;
    switch (player.playbackStatus()) {
        case PlaybackStatus::Playing:
            media.playbackStatus = "Playing";
            break;
        case PlaybackStatus::Paused:
            media.playbackStatus = "Paused";
            break;
        case PlaybackStatus::Stopped:
            media.playbackStatus = "Stopped";
            break;
    }
    media.loopStatus = player.settings().continuousPlay ? "Playlist" : "None";
    media.volume = VolumeFromLevel(player.settings().volumeLevel);
    const bool transport = player.transportEnabled();
    media.canGoNext = transport;
    media.canGoPrevious = transport;
    media.canPlay = transport;
    media.canPause = transport;
    media.canSeek = transport;
    media.metadata = readMetadata(player, listNumber, comment);
    return media;
}

}  // namespace sonarch
