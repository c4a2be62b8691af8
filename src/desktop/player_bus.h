#pragma once

namespace sonarch {

// Where the running player answers on the session bus: the media player name desktops
// control, and the player's own object that takes drives from a later start and hears
// from the library window.
inline constexpr const char* kPlayerBusName = "org.mpris.MediaPlayer2.sonarch";
inline constexpr const char* kPlayerObjectPath = "/org/sonarch/CDPlayer";
inline constexpr const char* kPlayerInterface = "org.sonarch.CDPlayer";
inline constexpr const char* kPlayerLibraryInterface = "org.sonarch.CDPlayer.Library";

}  // namespace sonarch
