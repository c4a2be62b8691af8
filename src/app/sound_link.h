#pragma once

#include <QMetaObject>

namespace sonarch {

class DesktopStream;
class Player;

// Lets the sound server's stream follow the player: the desktop's mixer names it after the
// track the window shows, and the status line says when the sound stopped and when it
// flows again. Both end with the link, so the output may outlive the player.
class SoundLink {
public:
    SoundLink(Player& player, DesktopStream& stream);
    ~SoundLink();
    SoundLink(const SoundLink&) = delete;
    SoundLink& operator=(const SoundLink&) = delete;

private:
    DesktopStream& m_stream;
    QMetaObject::Connection m_fields;
};

}  // namespace sonarch
