#pragma once

#include <QObject>
#include <QUrl>

#include <optional>
#include <string>
#include <vector>

#include "lookup/musicbrainz_disc.h"
#include "lookup/release_list.h"
#include "lookup/web_client.h"

namespace sonarch {

// How a release lookup ended: the releases that hold the disc (none: MusicBrainz does not
// know it), or a plain sentence saying why there is no answer.
struct ReleaseLookupResult {
    std::vector<Release> releases;
    std::string error;

    bool failed() const { return !error.empty(); }
};

// Asks MusicBrainz (at `server`, or a mirror) which releases hold a disc: by its disc ID,
// and when that is unknown, by its table of contents (which finds releases whose discs
// lie close to this one). Runs on the event loop of its thread and never blocks it.
class ReleaseLookup : public QObject {
    Q_OBJECT
public:
    enum class Step { ByDiscId, ByTableOfContents };

    // `web` outlives this object; several lookups and fetches may share it (and its one
    // request a second).
    ReleaseLookup(WebClient& web, QUrl server, QObject* parent = nullptr);
    ~ReleaseLookup() override;

    // Starts a lookup (cancelling one under way); `finished` comes later, never from
    // inside start().
    void start(const MusicBrainzDisc& disc);
    // Gives the lookup up: nothing more is reported.
    void cancel();
    bool running() const { return m_request.has_value(); }

signals:
    // A question is asked (it waits for its turn first: one request a second).
    void stepStarted(sonarch::ReleaseLookup::Step step);
    void finished(const sonarch::ReleaseLookupResult& result);

private:
    void ask(Step step);
    void answered(Step step, const QUrl& url, const Result<WebReply>& reply);
    void finish(ReleaseLookupResult result);

    WebClient& m_web;
    QUrl m_server;
    MusicBrainzDisc m_disc;
    std::optional<WebClient::RequestId> m_request;
};

}  // namespace sonarch
