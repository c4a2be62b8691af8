#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QUrl>

#include <chrono>
#include <optional>
#include <string>

#include "base/result.h"

namespace sonarch {

struct WebReply {
    int status = 0;  // the HTTP status after redirects
    QByteArray body;
};

// Plain HTTP GETs for a command-line tool: one at a time, each waited for in a local event
// loop. Requests start at least `spacing` after the last reply ended (the web service
// allows one a second), and a request that takes longer than `timeout` is given up.
// Needs a QCoreApplication.
class WebClient {
public:
    WebClient(std::chrono::milliseconds timeout, std::chrono::milliseconds spacing);

    // Fails only when no HTTP answer came (refused, unreachable, timed out); any status
    // is an answer.
    Result<WebReply> get(const QUrl& url);

    // "qvlib/VERSION ( CONTACT )", as the web service asks programs to name themselves.
    static QByteArray userAgent();

private:
    void waitForTurn();

    QNetworkAccessManager m_network;
    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_spacing;
    std::optional<std::chrono::steady_clock::time_point> m_lastReplyEnded;
};

}  // namespace sonarch
