#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "base/result.h"

class QNetworkReply;

namespace sonarch {

struct WebReply {
    int status = 0;  // the HTTP status after redirects
    QByteArray body;
};

// HTTP GETs that never block the thread they run on: each answer comes to a callback from
// that thread's event loop. One request at a time, in the order asked, each sent at least
// `spacing` after the last answer ended (the web service allows one a second); a request
// that takes longer than `timeout`, or sends more than any answer of the service holds,
// is given up. Needs a QCoreApplication.
class WebClient : public QObject {
    Q_OBJECT
public:
    using RequestId = std::uint64_t;
    // Fails only when no HTTP answer came (refused, unreachable, timed out, too large);
    // any status is an answer.
    using Done = std::function<void(const Result<WebReply>&)>;

    WebClient(std::chrono::milliseconds timeout, std::chrono::milliseconds spacing,
              QObject* parent = nullptr);
    ~WebClient() override;

    // Queues a GET; `done` is called once, later (never from inside get), unless the
    // request is cancelled first.
    RequestId get(const QUrl& url, Done done);
    // Drops a request that waits for its turn, or gives up the one under way; its `done`
    // is never called. Unknown or finished requests are ignored.
    void cancel(RequestId id);

    // "qvlib/VERSION ( CONTACT )", as the web service asks programs to name themselves.
    static QByteArray userAgent();

private:
    struct Request {
        RequestId id = 0;
        QUrl url;
        Done done;
    };

    std::chrono::milliseconds untilTurn() const;
    void scheduleNext();
    void sendNext();
    void finishCurrent();

    QNetworkAccessManager m_network;
    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_spacing;
    std::deque<Request> m_waiting;
    std::optional<Request> m_current;
    QNetworkReply* m_reply = nullptr;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    QTimer m_turn;      // until the next request may go
    QTimer m_deadline;  // for the request under way
    std::optional<std::chrono::steady_clock::time_point> m_lastAnswerEnded;
    RequestId m_nextId = 1;
};

// `path` and `query` under a server's own path (a mirror may live below its host's root).
QUrl UrlUnder(const QUrl& server, const QString& path, const QString& query = {});

// "WHO answered URL with HTTP STATUS.", with advice for a busy service.
std::string RefusalText(const std::string& who, const QUrl& url, int status);

}  // namespace sonarch
