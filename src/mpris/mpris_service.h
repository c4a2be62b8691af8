#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <string>

#include "desktop/drive_handoff.h"
#include "mpris/media_state.h"

namespace sonarch {

class Player;
class HandoffObject;

// The player on the session bus as a media player desktops control (MPRIS 2.2): media
// keys, the lock screen, panel widgets, playerctl. One more listener of the Player: it
// calls the Player's commands, follows its change signals, and tells the bus what changed,
// one PropertiesChanged for each batch of changes. A poll that changes nothing sends
// nothing. A second object takes drives handed over by a second start.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";

    explicit MprisService(Player& player, QObject* parent = nullptr);
    ~MprisService() override;

    // Puts the objects on the bus, then claims the name. False, with nothing left on the
    // bus, when the connection is down or another program holds the name.
    bool registerOn(QDBusConnection connection);

    // For the adaptors: the state as it is now, the position, and the commands.
    const MediaState& current();
    qlonglong positionUs();
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qlonglong offsetUs);
    void setPosition(const QString& trackId, qlonglong positionUs);
    void openUri(const QString& uri);
    void setVolume(double volume);
    void setLoopStatus(const QString& status);
    void raise();
    void quit();
    bool openDrive(const QByteArray& name);
    // What a later start of the program asks, over the bus or the hand-over socket; the
    // answer comes through `reply`, for a drive once it has opened or failed to.
    void answerLaterStart(const PlayerRequest& request,
                          std::function<void(const PlayerAnswer&)> reply);

signals:
    void seeked(qlonglong positionUs);

private:
    void listenToPlayer();
    void scheduleUpdate();
    void publishChanges();
    void refreshMetadata();
    QString currentComment();

    Player& m_player;
    QDBusConnection m_connection;
    HandoffObject* m_handoff;
    bool m_registered = false;
    bool m_updateDue = false;
    int m_listNumber = 1;    // counts the track lists, so track ids of older lists differ
    MediaState m_state;      // as the player's signals left it
    MediaState m_published;  // as the bus was last told
    TrackSnapshot m_track;
    bool m_metadataDue = true;
    QString m_commentKey;  // whose comment m_comment is
    QString m_comment;
};

}  // namespace sonarch
