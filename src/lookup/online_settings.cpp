#include "lookup/online_settings.h"

#include <cstdlib>

namespace sonarch {

Result<QUrl> ServerAddress(const std::optional<std::string>& given, const char* variable,
                           const char* fallback) {
    std::string text = fallback;
    if (given) {
        text = *given;
    } else if (const char* set = std::getenv(variable); set && *set) {
        text = set;
    }
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != "http" && url.scheme() != "https")) {
        return Result<QUrl>::failure("'" + text + "' is not an http:// or https:// address");
    }
    return Result<QUrl>::success(url);
}

Result<OnlineSettings> OnlineSettings::fromEnvironment() {
    using R = Result<OnlineSettings>;
    OnlineSettings settings;
    const auto musicBrainz = ServerAddress(std::nullopt, kMusicBrainzVariable, kMusicBrainz);
    if (!musicBrainz.ok()) {
        return R::failure(std::string(kMusicBrainzVariable) + " " + musicBrainz.error());
    }
    const auto coverArt = ServerAddress(std::nullopt, kCoverArtVariable, kCoverArt);
    if (!coverArt.ok()) {
        return R::failure(std::string(kCoverArtVariable) + " " + coverArt.error());
    }
    settings.musicBrainz = musicBrainz.value();
    settings.coverArt = coverArt.value();
    return R::success(settings);
}

}  // namespace sonarch
