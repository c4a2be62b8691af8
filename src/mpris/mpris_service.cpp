#include "mpris/mpris_service.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

#include "core/player.h"
#include "desktop/player_bus.h"
#include "device/drives/drive_name.h"
#include "model/settings.h"
#include "model/track_list.h"
#include "mpris/mpris_adaptors.h"

namespace sonarch {

MprisService::MprisService(Player& player, QObject* parent)
    : QObject(parent),
      m_player(player),
      m_connection(QString()),
      m_handoff(new HandoffObject(this)),
      m_state(ReadMediaState(player)),
      m_track(player.currentTrack()) {
    new MprisRootAdaptor(this, *this);
    new MprisPlayerAdaptor(this, *this);
    new DriveHandoffAdaptor(m_handoff, *this);
    new LibraryLinkAdaptor(m_handoff, player);
    listenToPlayer();
}

MprisService::~MprisService() {
    if (m_registered) {
        m_connection.unregisterService(kPlayerBusName);
        m_connection.unregisterObject(kPlayerObjectPath);
        m_connection.unregisterObject(kObjectPath);
    }
}

bool MprisService::registerOn(QDBusConnection connection) {
    if (m_registered || !connection.isConnected()) {
        return false;
    }
    // The objects first: a desktop that sees the name appear finds them at once.
    if (!connection.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    if (!connection.registerObject(kPlayerObjectPath, m_handoff, QDBusConnection::ExportAdaptors) ||
        !connection.registerService(kPlayerBusName)) {
        connection.unregisterObject(kPlayerObjectPath);
        connection.unregisterObject(kObjectPath);
        return false;
    }
    m_connection = connection;
    m_registered = true;
    m_published = current();
    return true;
}

void MprisService::listenToPlayer() {
    connect(&m_player, &Player::playbackStatusChanged, this, [this](PlaybackStatus status) {
        m_state.playbackStatus = PlaybackStatusText(status);
        scheduleUpdate();
    });
    connect(&m_player, &Player::volumeChanged, this, [this](std::int32_t level) {
        m_state.volume = VolumeFromLevel(level);
        scheduleUpdate();
    });
    connect(&m_player, &Player::continuousPlayChanged, this, [this](bool on) {
        m_state.loopStatus = LoopStatusText(on);
        scheduleUpdate();
    });
    connect(&m_player, &Player::transportEnabledChanged, this, [this](bool enabled) {
        SetTransportEnabled(m_state, enabled);
        scheduleUpdate();
    });
    connect(&m_player, &Player::trackChanged, this, [this](const TrackSnapshot& track) {
        m_track = track;
        m_metadataDue = true;
        scheduleUpdate();
    });
    connect(&m_player.trackList(), &TrackList::rowsReplaced, this, [this] {
        ++m_listNumber;
        m_commentKey.clear();
        m_metadataDue = true;
        scheduleUpdate();
    });
    connect(&m_player, &Player::seeked, this, [this] {
        if (m_registered) {
            emit seeked(positionUs());
        }
    });
}

// The changes of one command or poll run reach the bus as one signal, once it is done.
void MprisService::scheduleUpdate() {
    if (!m_registered || m_updateDue) {
        return;
    }
    m_updateDue = true;
    QTimer::singleShot(0, this, [this] { publishChanges(); });
}

void MprisService::publishChanges() {
    m_updateDue = false;
    const QVariantMap changed = current().changedSince(m_published);
    m_published = m_state;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, "org.freedesktop.DBus.Properties",
                                                     "PropertiesChanged");
    signal << QString(kMprisPlayerInterface) << changed << QStringList();
    m_connection.send(signal);
}

QString MprisService::currentComment() {
    // The library is asked once per track and list.
    const QString key = QString("%1/%2").arg(m_listNumber).arg(m_track.number);
    if (key != m_commentKey) {
        m_commentKey = key;
        m_comment = QString::fromStdString(m_player.trackComment(m_track.number));
    }
    return m_comment;
}

// The metadata is made when asked for after a change of the track or the list, not on
// every change of the player.
void MprisService::refreshMetadata() {
    if (!m_metadataDue) {
        return;
    }
    m_metadataDue = false;
    const bool shown = m_track.loaded && m_track.number >= 1 && m_track.listed;
    m_state.metadata = MetadataOf(m_track, m_listNumber, shown ? currentComment() : QString());
}

const MediaState& MprisService::current() {
    refreshMetadata();
    return m_state;
}

qlonglong MprisService::positionUs() {
    return m_player.trackPositionMs().value_or(0) * 1000;
}

// The transport goes the ways of the buttons, which are off while there is no disc.
void MprisService::play() {
    if (m_player.transportEnabled() && m_player.playbackStatus() != PlaybackStatus::Playing) {
        m_player.play();
    }
}

void MprisService::pause() {
    if (m_player.playbackStatus() == PlaybackStatus::Playing) {
        m_player.pause();
    }
}

void MprisService::playPause() {
    if (m_player.playbackStatus() == PlaybackStatus::Playing) {
        m_player.pause();
    } else {
        play();
    }
}

void MprisService::stop() {
    if (m_player.transportEnabled()) {
        m_player.stop();
    }
}

void MprisService::next() {
    if (m_player.transportEnabled()) {
        m_player.next();
    }
}

void MprisService::previous() {
    if (m_player.transportEnabled()) {
        m_player.previous();
    }
}

void MprisService::seek(qlonglong offsetUs) {
    if (!current().canSeek) {
        return;
    }
    const auto position = m_player.trackPositionMs();
    if (!position) {
        return;
    }
    // Any offset may come: compared without adding, so no sum can overflow.
    const std::int64_t offsetMs = offsetUs / 1000;
    if (offsetMs > m_track.lengthMs.value_or(0) - *position) {
        m_player.next();  // past the end of the track: on to the next, as desktops expect
        return;
    }
    m_player.seekInTrack(std::max<std::int64_t>(*position + offsetMs, 0));
}

void MprisService::setPosition(const QString& trackId, qlonglong positionUs) {
    const MediaState& now = current();
    // A move meant for another track, or outside this one, is ignored.
    if (!now.canSeek || trackId != now.metadata.trackId || positionUs < 0 ||
        positionUs > now.metadata.lengthUs) {
        return;
    }
    m_player.seekInTrack(positionUs / 1000);
}

void MprisService::openUri(const QString& uri) {
    if (const auto name = DriveNameFromArgument(uri.toStdString())) {
        m_player.openDrive(*name);
    }
}

bool MprisService::openDrive(const QByteArray& name) {
    return m_player.openDrive(name.toStdString());
}

void MprisService::answerLaterStart(const PlayerRequest& request,
                                    std::function<void(const PlayerAnswer&)> reply) {
    if (RequestExpired(request)) {
        reply(ExpiredAnswer());
        return;
    }
    switch (request.kind) {
        case PlayerRequestKind::OpenDrive:
            m_player.openDrive(request.drive, [reply](const std::string& problem) {
                reply({problem.empty(), problem});
            });
            return;
        case PlayerRequestKind::Raise:
            raise();
            break;
        case PlayerRequestKind::PlayPause:
            playPause();
            break;
        case PlayerRequestKind::Next:
            next();
            break;
        case PlayerRequestKind::Previous:
            previous();
            break;
        case PlayerRequestKind::Stop:
            stop();
            break;
    }
    reply({true, {}});
}

void MprisService::setVolume(double volume) {
    m_player.setVolumeLevel(LevelFromVolume(volume));
}

void MprisService::setLoopStatus(const QString& status) {
    // Continuous play is the player's one loop: the whole disc.
    const bool wanted = status == "Playlist";
    if ((status == "Playlist" || status == "None") &&
        wanted != m_player.settings().continuousPlay) {
        m_player.toggleContinuousPlay();
    }
}

void MprisService::raise() {
    m_player.requestRaise();
}

void MprisService::quit() {
    // The reply goes out first; the player then closes the normal way.
    QTimer::singleShot(0, &m_player, &Player::requestClose);
}

}  // namespace sonarch
