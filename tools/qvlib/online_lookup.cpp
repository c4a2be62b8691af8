#include "qvlib/online_lookup.h"

namespace sonarch {

namespace {

constexpr int kOk = 200;
constexpr int kNotFound = 404;
constexpr int kUnavailable = 503;

QUrl under(const QUrl& server, const QString& path, const QString& query = {}) {
    QUrl url = server;
    QString base = server.path();
    while (base.endsWith('/')) {
        base.chop(1);
    }
    url.setPath(base + path);
    url.setQuery(query.isEmpty() ? QString() : query);
    return url;
}

std::string refusal(const std::string& who, const QUrl& url, int status) {
    std::string why = who + " answered " + url.toDisplayString().toStdString() + " with HTTP " +
                      std::to_string(status);
    return why + (status == kUnavailable ? " (busy or down; try again in a minute)." : ".");
}

}  // namespace

Result<std::vector<Release>> LookupReleases(WebClient& web, const QUrl& server,
                                            const MusicBrainzDisc& disc) {
    using R = Result<std::vector<Release>>;
    const QString includes = "inc=recordings+artist-credits&cdstubs=no&fmt=json";
    const QUrl byId = under(server, "/ws/2/discid/" + QString::fromStdString(disc.id), includes);
    // An unknown disc ID is asked again by its table of contents, which finds releases
    // whose discs lie close to this one.
    const QUrl byToc =
        under(server, "/ws/2/discid/-", "toc=" + QString::fromStdString(disc.toc) + "&" + includes);
    for (const QUrl& url : {byId, byToc}) {
        auto reply = web.get(url);
        if (!reply.ok()) {
            return R::failure(reply.error());
        }
        if (reply.value().status == kNotFound) {
            continue;
        }
        if (reply.value().status != kOk) {
            return R::failure(refusal("MusicBrainz", url, reply.value().status));
        }
        auto releases = ParseDiscLookup(reply.value().body, disc);
        if (!releases.ok()) {
            return R::failure("the answer of MusicBrainz to " +
                              url.toDisplayString().toStdString() +
                              " is not what the web service sends: " + releases.error() + ".");
        }
        return releases;
    }
    return R::success({});
}

std::optional<std::string> PictureExtension(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF")) {
        return "jpg";
    }
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) {
        return "png";
    }
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) {
        return "gif";
    }
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP") {
        return "webp";
    }
    return std::nullopt;
}

Result<std::optional<CoverPicture>> FetchFrontCover(WebClient& web, const QUrl& server,
                                                    const std::string& releaseId) {
    using R = Result<std::optional<CoverPicture>>;
    const QUrl url = under(server, "/release/" + QString::fromStdString(releaseId) + "/front");
    auto reply = web.get(url);
    if (!reply.ok()) {
        return R::failure(reply.error());
    }
    if (reply.value().status == kNotFound) {
        return R::success(std::nullopt);
    }
    if (reply.value().status != kOk) {
        return R::failure(refusal("The Cover Art Archive", url, reply.value().status));
    }
    const auto extension = PictureExtension(reply.value().body);
    if (!extension) {
        return R::failure("the front cover from " + url.toDisplayString().toStdString() +
                          " is not a picture (JPEG, PNG, GIF or WebP).");
    }
    return R::success(CoverPicture{reply.value().body, *extension});
}

}  // namespace sonarch
