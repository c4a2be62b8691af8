#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <optional>
#include <string>

#include "lookup/web_client.h"

namespace sonarch {

enum class CoverSize {
    Full,       // the picture as it was uploaded, to keep
    Thumbnail,  // at most 250 pixels wide, to show in a list
};

// Where the Cover Art Archive (at `server`, or a mirror) keeps a release's front cover.
QUrl FrontCoverUrl(const QUrl& server, const std::string& releaseId, CoverSize size);

struct CoverPicture {
    QByteArray bytes;
    std::string extension;  // "jpg", "png", "gif" or "webp", from the picture's first bytes
};

// How a fetch ended: the picture; or none, when the archive has no front cover; or a plain
// sentence saying why there is no answer.
struct CoverFetchResult {
    std::optional<CoverPicture> picture;
    std::string error;

    bool failed() const { return !error.empty(); }
};

// Fetches a release's front cover from the Cover Art Archive, on the event loop of its
// thread; what is not a picture (JPEG, PNG, GIF or WebP) is refused.
class CoverFetch : public QObject {
    Q_OBJECT
public:
    // `web` outlives this object; several lookups and fetches may share it (and its one
    // request a second).
    CoverFetch(WebClient& web, QUrl server, QObject* parent = nullptr);
    ~CoverFetch() override;

    // Starts a fetch (cancelling one under way); `finished` comes later, never from inside
    // start().
    void start(const std::string& releaseId, CoverSize size);
    // Gives the fetch up: nothing more is reported.
    void cancel();
    bool running() const { return m_request.has_value(); }

signals:
    void finished(const sonarch::CoverFetchResult& result);

private:
    WebClient& m_web;
    QUrl m_server;
    std::optional<WebClient::RequestId> m_request;
};

}  // namespace sonarch
