#include "lookup/web_client.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

namespace sonarch {

namespace {

// A reply that holds more than any page or cover of the web service is given up.
constexpr qint64 kLargestReply = 32 * 1024 * 1024;
constexpr int kUnavailable = 503;

}  // namespace

QUrl UrlUnder(const QUrl& server, const QString& path, const QString& query) {
    QUrl url = server;
    QString base = server.path();
    while (base.endsWith('/')) {
        base.chop(1);
    }
    url.setPath(base + path);
    url.setQuery(query.isEmpty() ? QString() : query);
    return url;
}

std::string RefusalText(const std::string& who, const QUrl& url, int status) {
    std::string why = who + " answered " + url.toDisplayString().toStdString() + " with HTTP " +
                      std::to_string(status);
    return why + (status == kUnavailable ? " (busy or down; try again in a minute)." : ".");
}

WebClient::WebClient(std::chrono::milliseconds timeout, std::chrono::milliseconds spacing,
                     QObject* parent)
    : QObject(parent), m_timeout(timeout), m_spacing(spacing) {
    m_turn.setSingleShot(true);
    m_turn.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    connect(&m_turn, &QTimer::timeout, this, &WebClient::sendNext);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_timedOut = true;
            m_reply->abort();
        }
    });
}

WebClient::~WebClient() {
    if (m_reply) {
        // The network manager, going with this object, deletes the reply.
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QByteArray WebClient::userAgent() {
    return QByteArray("qvlib/") + SONARCH_VERSION + " ( " + SONARCH_CONTACT + " )";
}

WebClient::RequestId WebClient::get(const QUrl& url, Done done) {
    const RequestId id = m_nextId++;
    m_waiting.push_back({id, url, std::move(done)});
    scheduleNext();
    return id;
}

void WebClient::cancel(RequestId id) {
    std::erase_if(m_waiting, [id](const Request& request) { return request.id == id; });
    if (m_current && m_current->id == id) {
        m_current->done = nullptr;  // the answer, or the abort, goes nowhere
        if (m_reply) {
            m_reply->abort();
        }
    }
}

std::chrono::milliseconds WebClient::untilTurn() const {
    using namespace std::chrono;
    if (!m_lastAnswerEnded) {
        return milliseconds{0};
    }
    const auto turn = *m_lastAnswerEnded + m_spacing;
    return std::max(milliseconds{0}, ceil<milliseconds>(turn - steady_clock::now()));
}

void WebClient::scheduleNext() {
    if (m_current || m_waiting.empty() || m_turn.isActive()) {
        return;
    }
    // Always through the event loop, so a callback never runs inside get().
    m_turn.start(untilTurn());
}

void WebClient::sendNext() {
    if (m_current || m_waiting.empty()) {
        return;
    }
    if (const auto wait = untilTurn(); wait.count() > 0) {
        m_turn.start(wait);  // woken early
        return;
    }
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    QNetworkRequest request(m_current->url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "application/json, image/*;q=0.9, */*;q=0.5");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_timedOut = false;
    m_tooLarge = false;
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kLargestReply && !m_tooLarge && m_reply) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &WebClient::finishCurrent);
    m_deadline.start(m_timeout);
}

void WebClient::finishCurrent() {
    m_deadline.stop();
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    Request request = std::move(*m_current);
    m_current.reset();
    m_lastAnswerEnded = std::chrono::steady_clock::now();
    const std::string where = request.url.toDisplayString().toStdString();
    std::optional<Result<WebReply>> outcome;
    if (m_timedOut) {
        outcome = Result<WebReply>::failure(where + " did not answer within " +
                                            std::to_string(m_timeout.count() / 1000) + " seconds.");
    } else if (m_tooLarge) {
        outcome = Result<WebReply>::failure(where +
                                            " sent more than any answer of the web service holds.");
    } else if (const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
               !status.isValid()) {
        outcome = Result<WebReply>::failure("cannot reach " + where + ": " +
                                            reply->errorString().toStdString() + ".");
    } else {
        outcome = Result<WebReply>::success(WebReply{status.toInt(), reply->readAll()});
    }
    reply->deleteLater();
    scheduleNext();
    if (request.done) {
        request.done(*outcome);
    }
}

}  // namespace sonarch
