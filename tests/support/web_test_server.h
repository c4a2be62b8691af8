#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sonarch::testing {

struct ServedReply {
    ServedReply() = default;
    ServedReply(int status, std::string body,
                std::string contentType = "application/json; charset=utf-8",
                std::string location = {})
        : status(status),
          body(std::move(body)),
          contentType(std::move(contentType)),
          location(std::move(location)) {}
    static ServedReply stalled() {
        ServedReply reply;
        reply.stall = true;
        return reply;
    }

    int status = 200;
    std::string body;
    std::string contentType = "application/json; charset=utf-8";
    std::string location;  // sent as Location, for redirects
    bool stall = false;    // read the request and never answer
};

struct SeenRequest {
    std::string path;
    std::string query;
    std::string userAgent;
    std::chrono::steady_clock::time_point arrived;
};

// A small HTTP/1.1 server on 127.0.0.1 for the test that owns it, answering each path
// with the reply it was given (404 otherwise), one connection at a time on a thread of
// its own, and noting every request it saw.
class WebTestServer {
public:
    WebTestServer();
    ~WebTestServer();
    WebTestServer(const WebTestServer&) = delete;
    WebTestServer& operator=(const WebTestServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void serve(const std::string& path, ServedReply reply);
    std::vector<SeenRequest> requests() const;

private:
    void run();
    void answer(int connection);

    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::vector<int> m_stalled;
    mutable std::mutex m_mutex;
    std::map<std::string, ServedReply> m_replies;
    std::vector<SeenRequest> m_requests;
    std::thread m_thread;
};

}  // namespace sonarch::testing
