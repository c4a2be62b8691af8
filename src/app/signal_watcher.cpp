#include "app/signal_watcher.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace sonarch {

namespace {

int g_signalPipe[2] = {-1, -1};
// Lock-free, so storing it is safe in a signal handler.
std::atomic<bool> g_terminating{false};
static_assert(std::atomic<bool>::is_always_lock_free);
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Runs in signal context: only an async-signal-safe write, errno left as it was. The
// socket does not block, so a burst of signals cannot hang the handler.
void onSignal(int) {
    const int savedErrno = errno;
    g_terminating.store(true, std::memory_order_relaxed);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    errno = savedErrno;
}

}  // namespace

void SignalWatcher::catchTerminationSignals() {
    if (g_signalPipe[0] >= 0) {
        return;
    }
    // Close-on-exec, so programs the player starts do not inherit the pair.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        g_signalPipe[0] = g_signalPipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
}

const std::atomic<bool>& SignalWatcher::terminationFlag() {
    return g_terminating;
}

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    catchTerminationSignals();
    if (g_signalPipe[1] < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        bool caught = false;
        while (::read(g_signalPipe[1], bytes, sizeof bytes) > 0) {
            caught = true;
        }
        if (caught) {
            emit terminationRequested();
        }
    });
}

SignalWatcher::~SignalWatcher() {
    for (int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    for (int& end : g_signalPipe) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

}  // namespace sonarch
