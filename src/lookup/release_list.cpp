#include "lookup/release_list.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include "library/stored_name.h"

namespace sonarch {

namespace {

using Releases = Result<std::vector<Release>>;

std::string text(const QJsonValue& value) {
    return value.isString() ? StoredName(value.toString().toStdString()) : std::string();
}

// "Ann & Bea feat. Cy": each credited name followed by its join phrase.
std::string creditedArtist(const QJsonValue& credit) {
    std::string artist;
    for (const QJsonValue& name : credit.toArray()) {
        const QJsonObject part = name.toObject();
        artist += part.value("name").toString().toStdString() +
                  part.value("joinphrase").toString().toStdString();
    }
    return StoredName(artist);
}

bool holdsDisc(const QJsonObject& medium, const std::string& discId) {
    for (const QJsonValue& disc : medium.value("discs").toArray()) {
        if (disc.toObject().value("id").toString().toStdString() == discId) {
            return true;
        }
    }
    return false;
}

// The medium of the release that is this disc, or an empty object.
QJsonObject discMedium(const QJsonArray& media, const MusicBrainzDisc& disc) {
    for (const QJsonValue& medium : media) {
        if (holdsDisc(medium.toObject(), disc.id)) {
            return medium.toObject();
        }
    }
    const int audioTracks = disc.lastTrack - disc.firstTrack + 1;
    for (const QJsonValue& medium : media) {
        if (medium.toObject().value("tracks").toArray().size() == audioTracks) {
            return medium.toObject();
        }
    }
    return {};
}

std::vector<ReleaseTrack> tracksOf(const QJsonObject& medium, const std::string& releaseArtist) {
    std::vector<ReleaseTrack> tracks;
    for (const QJsonValue& value : medium.value("tracks").toArray()) {
        const QJsonObject track = value.toObject();
        const QJsonObject recording = track.value("recording").toObject();
        ReleaseTrack one{text(track.value("title")), creditedArtist(track.value("artist-credit"))};
        if (one.title.empty()) {
            one.title = text(recording.value("title"));
        }
        if (one.artist.empty()) {
            one.artist = creditedArtist(recording.value("artist-credit"));
        }
        if (one.artist.empty()) {
            one.artist = releaseArtist;
        }
        tracks.push_back(std::move(one));
    }
    return tracks;
}

}  // namespace

bool IsMusicBrainzId(const std::string& id) {
    if (id.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = id[i];
        if (hyphen ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

Releases ParseDiscLookup(const QByteArray& json, const MusicBrainzDisc& disc) {
    // Bytes that are not UTF-8 become U+FFFD rather than spoiling the whole answer.
    const QByteArray utf8 = QString::fromUtf8(json).toUtf8();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        return Releases::failure("it is not JSON (" + error.errorString().toStdString() +
                                 " at byte " + std::to_string(error.offset) + ")");
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || !root.value("releases").isArray()) {
        return Releases::failure("it names no list of releases");
    }
    std::vector<Release> releases;
    for (const QJsonValue& value : root.value("releases").toArray()) {
        const QJsonObject object = value.toObject();
        Release release;
        release.id = object.value("id").toString().toStdString();
        if (!IsMusicBrainzId(release.id)) {
            return Releases::failure("a release has no proper MusicBrainz ID");
        }
        release.title = text(object.value("title"));
        release.artist = creditedArtist(object.value("artist-credit"));
        release.date = text(object.value("date"));
        release.country = text(object.value("country"));
        release.barcode = text(object.value("barcode"));
        for (const QJsonValue& info : object.value("label-info").toArray()) {
            const QJsonObject labelInfo = info.toObject();
            release.label = text(labelInfo.value("label").toObject().value("name"));
            release.catalogNumber = text(labelInfo.value("catalog-number"));
            if (!release.label.empty() || !release.catalogNumber.empty()) {
                break;
            }
        }
        release.hasFrontCover =
            object.value("cover-art-archive").toObject().value("front").toBool();
        const QJsonObject medium = discMedium(object.value("media").toArray(), disc);
        if (medium.isEmpty()) {
            continue;
        }
        release.tracks = tracksOf(medium, release.artist);
        releases.push_back(std::move(release));
    }
    return Releases::success(std::move(releases));
}

}  // namespace sonarch
