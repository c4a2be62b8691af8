#pragma once

#include <QObject>

#include <atomic>

class QSocketNotifier;

namespace sonarch {

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logging out, Ctrl+C, a closed terminal) into
// a Qt signal on the window thread, so the player shuts down the normal way and saves its
// settings.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // Catches the signals from here on, before there is an application to tell: one that
    // comes early waits and is reported once the event loop runs. Call it first in main.
    static void catchTerminationSignals();

    // Set by the first of those signals, at once (in the handler itself): long work on the
    // window thread polls it to end early, since the Qt signal waits for that work.
    static const std::atomic<bool>& terminationFlag();

    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace sonarch
