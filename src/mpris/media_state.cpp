#include "mpris/media_state.h"

#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

#include "base/time_text.h"
#include "device/engine/audio_output.h"
#include "model/settings.h"

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

TrackMetadata MetadataOf(const TrackSnapshot& current, int listNumber, const QString& comment) {
    if (!current.loaded || current.number < 1 || !current.listed) {
        return {};
    }
    TrackMetadata track;
    track.trackId = TrackObjectPath(listNumber, current.number);
    track.title = QString::fromStdString(current.title);
    track.artist = QString::fromStdString(current.artist);
    track.album = QString::fromStdString(current.album);
    track.trackNumber = current.number;
    track.lengthUs = current.lengthMs.value_or(0) * 1000;
    const QString cover = QString::fromStdString(current.coverPath);
    if (!cover.isEmpty() && QFileInfo(cover).isFile()) {
        track.artUrl = QUrl::fromLocalFile(cover).toString();
    }
    if (current.rating) {
        track.rating = std::clamp(*current.rating, 0, 10) / 10.0;
    }
    track.comment = comment;
    return track;
}

QString PlaybackStatusText(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return "Playing";
        case PlaybackStatus::Paused:
            return "Paused";
        case PlaybackStatus::Stopped:
            break;
    }
    return "Stopped";
}

QString LoopStatusText(bool continuousPlay) {
    return continuousPlay ? "Playlist" : "None";
}

void SetTransportEnabled(MediaState& state, bool enabled) {
    state.canGoNext = enabled;
    state.canGoPrevious = enabled;
    state.canPlay = enabled;
    state.canPause = enabled;
    state.canSeek = enabled;
}

MediaState ReadMediaState(const Player& player) {
    MediaState media;
    media.playbackStatus = PlaybackStatusText(player.playbackStatus());
    media.loopStatus = LoopStatusText(player.settings().continuousPlay);
    media.volume = VolumeFromLevel(player.settings().volumeLevel);
    SetTransportEnabled(media, player.transportEnabled());
    return media;
}

}  // namespace sonarch
