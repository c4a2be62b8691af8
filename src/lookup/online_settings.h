#pragma once

#include <QUrl>

#include <chrono>
#include <optional>
#include <string>

#include "base/result.h"

namespace sonarch {

// Where and how the online lookup asks: MusicBrainz (or a mirror) for releases, the Cover
// Art Archive (or a mirror) for covers.
struct OnlineSettings {
    static constexpr const char* kMusicBrainzVariable = "QVLIB_MUSICBRAINZ_SERVER";
    static constexpr const char* kCoverArtVariable = "QVLIB_COVERART_SERVER";
    static constexpr const char* kMusicBrainz = "https://musicbrainz.org";
    static constexpr const char* kCoverArt = "https://coverartarchive.org";

    QUrl musicBrainz{kMusicBrainz};
    QUrl coverArt{kCoverArt};
    // A request that takes longer is given up.
    std::chrono::milliseconds timeout{std::chrono::seconds(20)};
    // Between the end of one answer and the next request: the web service allows one a
    // second.
    std::chrono::milliseconds spacing{std::chrono::seconds(1)};

    // The services themselves, or the mirrors that the environment names.
    static Result<OnlineSettings> fromEnvironment();
};

// A server as given (`given`), else as the environment variable names it, else
// `fallback`; an address that is not http:// or https:// with a host is refused, quoted.
Result<QUrl> ServerAddress(const std::optional<std::string>& given, const char* variable,
                           const char* fallback);

// The longest timeout a user may ask for, in seconds.
inline constexpr int kLongestTimeout = 600;

}  // namespace sonarch
