#pragma once

#include <QObject>

class QSocketNotifier;

namespace sonarch {

// Turns SIGTERM and SIGINT (a desktop logging out, Ctrl+C) into a Qt signal on the window
// thread, so the player shuts down the normal way and saves its settings.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace sonarch
