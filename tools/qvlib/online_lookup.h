#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "qvlib/musicbrainz_disc.h"
#include "qvlib/release_list.h"
#include "qvlib/web_client.h"

namespace sonarch {

// The releases MusicBrainz (at `server`, or a mirror) holds for the disc: those with its
// disc ID, else those whose table of contents comes close to the disc's. None is an
// empty list; an answer that is not the service's JSON is an error.
Result<std::vector<Release>> LookupReleases(WebClient& web, const QUrl& server,
                                            const MusicBrainzDisc& disc);

struct CoverPicture {
    QByteArray bytes;
    std::string extension;  // "jpg", "png", "gif" or "webp", from the picture's first bytes
};

// The release's front cover from the Cover Art Archive (at `server`); nothing when the
// archive has none. What is not a picture is refused.
Result<std::optional<CoverPicture>> FetchFrontCover(WebClient& web, const QUrl& server,
                                                    const std::string& releaseId);

// The picture type a file's first bytes show, or nothing.
std::optional<std::string> PictureExtension(const QByteArray& bytes);

}  // namespace sonarch
