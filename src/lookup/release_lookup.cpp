#include "lookup/release_lookup.h"

namespace sonarch {

namespace {

constexpr int kOk = 200;
constexpr int kNotFound = 404;
const QString kIncludes = "inc=recordings+artist-credits+labels&cdstubs=no&fmt=json";

}  // namespace

ReleaseLookup::ReleaseLookup(WebClient& web, QUrl server, QObject* parent)
    : QObject(parent), m_web(web), m_server(std::move(server)) {}

ReleaseLookup::~ReleaseLookup() {
    cancel();
}

void ReleaseLookup::start(const MusicBrainzDisc& disc) {
    cancel();
    m_disc = disc;
    ask(Step::ByDiscId);
}

void ReleaseLookup::cancel() {
    if (m_request) {
        m_web.cancel(*m_request);
        m_request.reset();
    }
}

void ReleaseLookup::ask(Step step) {
    const QUrl url =
        step == Step::ByDiscId
            ? UrlUnder(m_server, "/ws/2/discid/" + QString::fromStdString(m_disc.id), kIncludes)
            : UrlUnder(m_server, "/ws/2/discid/-",
                       "toc=" + QString::fromStdString(m_disc.toc) + "&" + kIncludes);
    m_request = m_web.get(url, [this, step, url](const Result<WebReply>& reply) {
        m_request.reset();
        answered(step, url, reply);
    });
    emit stepStarted(step);
}

void ReleaseLookup::answered(Step step, const QUrl& url, const Result<WebReply>& reply) {
    if (!reply.ok()) {
        finish({{}, reply.error()});
        return;
    }
    const WebReply& answer = reply.value();
    if (answer.status == kNotFound) {
        if (step == Step::ByDiscId) {
            ask(Step::ByTableOfContents);
        } else {
            finish({});
        }
        return;
    }
    if (answer.status != kOk) {
        finish({{}, RefusalText("MusicBrainz", url, answer.status)});
        return;
    }
    auto releases = ParseDiscLookup(answer.body, m_disc);
    if (!releases.ok()) {
        finish({{},
                "the answer of MusicBrainz to " + url.toDisplayString().toStdString() +
                    " is not what the web service sends: " + releases.error() + "."});
        return;
    }
    finish({std::move(releases.value()), {}});
}

void ReleaseLookup::finish(ReleaseLookupResult result) {
    emit finished(result);
}

}  // namespace sonarch
