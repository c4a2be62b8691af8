#include "lookup/cover_fetch.h"

#include <string_view>

#include "library/cover_file.h"

namespace sonarch {

namespace {

constexpr int kOk = 200;
constexpr int kNotFound = 404;

CoverFetchResult resultOf(const QUrl& url, const Result<WebReply>& reply) {
    if (!reply.ok()) {
        return {std::nullopt, reply.error()};
    }
    const WebReply& answer = reply.value();
    if (answer.status == kNotFound) {
        return {};
    }
    if (answer.status != kOk) {
        return {std::nullopt, RefusalText("The Cover Art Archive", url, answer.status)};
    }
    const auto extension = PictureExtension(
        std::string_view(answer.body.constData(), std::size_t(answer.body.size())));
    if (!extension) {
        return {std::nullopt, "the front cover from " + url.toDisplayString().toStdString() +
                                  " is not a picture (JPEG, PNG, GIF or WebP)."};
    }
    return {CoverPicture{answer.body, *extension}, {}};
}

}  // namespace

QUrl FrontCoverUrl(const QUrl& server, const std::string& releaseId, CoverSize size) {
    const QString piece = size == CoverSize::Full ? "/front" : "/front-250";
    return UrlUnder(server, "/release/" + QString::fromStdString(releaseId) + piece);
}

CoverFetch::CoverFetch(WebClient& web, QUrl server, QObject* parent)
    : QObject(parent), m_web(web), m_server(std::move(server)) {}

CoverFetch::~CoverFetch() {
    cancel();
}

void CoverFetch::start(const std::string& releaseId, CoverSize size) {
    cancel();
    const QUrl url = FrontCoverUrl(m_server, releaseId, size);
    m_request = m_web.get(url, [this, url](const Result<WebReply>& reply) {
        m_request.reset();
        emit finished(resultOf(url, reply));
    });
}

void CoverFetch::cancel() {
    if (m_request) {
        m_web.cancel(*m_request);
        m_request.reset();
    }
}

}  // namespace sonarch
