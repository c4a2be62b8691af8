#pragma once

#include <QObject>
#include <string>

class QLocalServer;

namespace sonarch {

// The running player's end of the local-socket hand-off: a later start that finds no
// session bus connects, sends a drive name and waits for the answer.
class HandoffSocket : public QObject {
    Q_OBJECT
public:
    explicit HandoffSocket(QObject* parent = nullptr);

    // Listens at `path`. A socket file left there by a run that ended without removing it
    // is replaced: only the holder of the instance lock listens.
    bool listen(const std::string& path);

signals:
    // A drive name as --drive takes it.
    void driveHanded(const std::string& name);

private:
    void accept();

    QLocalServer* m_server;
};

// A later start's side: hands `name` (already made absolute) to the running player over
// the session bus, else over the socket at `socketPath`. The running player may still be
// starting, so the socket is tried again for a few seconds. False when neither way
// reached it.
bool HandDriveToRunningPlayer(const std::string& name, const std::string& socketPath);

}  // namespace sonarch
