#include "qvlib/web_client.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>
#include <thread>

namespace sonarch {

// A reply that holds more than any page or cover of the web service is given up.
constexpr qint64 kLargestReply = 32 * 1024 * 1024;

WebClient::WebClient(std::chrono::milliseconds timeout, std::chrono::milliseconds spacing)
    : m_timeout(timeout), m_spacing(spacing) {}

QByteArray WebClient::userAgent() {
    return QByteArray("qvlib/") + SONARCH_VERSION + " ( " + SONARCH_CONTACT + " )";
}

void WebClient::waitForTurn() {
    if (!m_lastReplyEnded) {
        return;
    }
    const auto turn = *m_lastReplyEnded + m_spacing;
    std::this_thread::sleep_until(turn);
}

Result<WebReply> WebClient::get(const QUrl& url) {
    using R = Result<WebReply>;
    waitForTurn();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "application/json, image/*;q=0.9, */*;q=0.5");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(m_network.get(request));
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false;
    bool tooLarge = false;
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64) {
                         if (received > kLargestReply && !tooLarge) {
                             tooLarge = true;
                             reply->abort();
                         }
                     });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(m_timeout);
    if (!reply->isFinished()) {
        loop.exec();
    }
    m_lastReplyEnded = std::chrono::steady_clock::now();
    const std::string where = url.toDisplayString().toStdString();
    if (timedOut) {
        return R::failure(where + " did not answer within " +
                          std::to_string(m_timeout.count() / 1000) + " seconds.");
    }
    if (tooLarge) {
        return R::failure(where + " sent more than any answer of the web service holds.");
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        return R::failure("cannot reach " + where + ": " + reply->errorString().toStdString() +
                          ".");
    }
    return R::success(WebReply{status.toInt(), reply->readAll()});
}

}  // namespace sonarch
