#include "support/web_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace sonarch::testing {

namespace {

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 307:
            return "Temporary Redirect";
        case 404:
            return "Not Found";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += std::size_t(n);
    }
}

}  // namespace

WebTestServer::WebTestServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 8) != 0 || ::pipe(m_wake) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::abort();
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

WebTestServer::~WebTestServer() {
    const char stop = 'x';
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
    m_thread.join();
    for (const int fd : m_stalled) {
        ::close(fd);
    }
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void WebTestServer::serve(const std::string& path, ServedReply reply) {
    std::lock_guard lock(m_mutex);
    m_replies[path] = std::move(reply);
}

std::vector<SeenRequest> WebTestServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void WebTestServer::run() {
    for (;;) {
        pollfd waiting[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(waiting, 2, -1) < 0 || waiting[1].revents) {
            return;
        }
        const int connection = ::accept(m_listener, nullptr, nullptr);
        if (connection >= 0) {
            answer(connection);
        }
    }
}

void WebTestServer::answer(int connection) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd waiting[2] = {{connection, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(waiting, 2, 5000) <= 0 || waiting[1].revents) {
            ::close(connection);
            return;
        }
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            ::close(connection);
            return;
        }
        request.append(buffer, std::size_t(n));
    }
    SeenRequest seen;
    seen.arrived = std::chrono::steady_clock::now();
    const std::size_t space = request.find(' ');
    const std::string target = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
    const std::size_t question = target.find('?');
    seen.path = target.substr(0, question);
    seen.query = question == std::string::npos ? "" : target.substr(question + 1);
    const std::string headers = lower(request);
    if (const std::size_t at = headers.find("\r\nuser-agent:"); at != std::string::npos) {
        const std::size_t from = request.find_first_not_of(' ', at + 13);
        seen.userAgent = request.substr(from, request.find("\r\n", from) - from);
    }
    ServedReply reply{404, "{\"error\": \"Not Found\"}"};
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(seen);
        if (const auto found = m_replies.find(seen.path); found != m_replies.end()) {
            reply = found->second;
        }
    }
    if (reply.stall) {
        m_stalled.push_back(connection);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                       "\r\nContent-Type: " + reply.contentType +
                       "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                       "\r\nConnection: close\r\n";
    if (!reply.location.empty()) {
        head += "Location: " + reply.location + "\r\n";
    }
    sendAll(connection, head + "\r\n" + reply.body);
    ::shutdown(connection, SHUT_WR);
    ::close(connection);
}

}  // namespace sonarch::testing
