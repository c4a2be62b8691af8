#include "app/sound_link.h"

#include "audio/desktop_stream.h"
#include "core/player.h"
#include "model/player_display.h"

namespace sonarch {

SoundLink::SoundLink(Player& player, DesktopStream& stream) : m_stream(stream) {
    auto describe = [&player, &stream] {
        const PlayerDisplay& display = player.display();
        stream.describeTrack(display.trackField(TrackField::Title),
                             display.trackField(TrackField::Artist));
    };
    // A poll writes the artist and the title one after the other: the stream is told once
    // the poll is over, with both.
    m_fields =
        QObject::connect(&player.display(), &PlayerDisplay::trackFieldChanged, &player,
                         [&player, describe](TrackField field, const std::string&) {
                             if (field != TrackField::Album) {
                                 QMetaObject::invokeMethod(&player, describe, Qt::QueuedConnection);
                             }
                         });
    describe();
    // The output speaks from its own thread; the player hears it on its own.
    stream.setTroubleListener([&player](SoundTrouble trouble) {
        QMetaObject::invokeMethod(
            &player, [&player, trouble] { player.showSoundTrouble(trouble); },
            Qt::QueuedConnection);
    });
}

SoundLink::~SoundLink() {
    m_stream.setTroubleListener({});
    QObject::disconnect(m_fields);
}

}  // namespace sonarch
