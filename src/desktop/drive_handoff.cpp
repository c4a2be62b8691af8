#include "desktop/drive_handoff.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include "desktop/player_bus.h"

namespace sonarch {

namespace {

// Asks the running player over the session bus; false when it is not on the bus or did
// not answer.
bool SendDriveOverSessionBus(const std::string& name, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kPlayerBusName)) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kPlayerBusName, kPlayerObjectPath,
                                                       kPlayerInterface, "OpenDrive");
    call << QByteArray::fromStdString(name);
    return bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

// A name is sent as its bytes and a closing NUL; the answer is one byte.
constexpr char kEnd = '\0';
constexpr qsizetype kLongestName = 64 * 1024;
constexpr int kAnswerTimeoutMs = 10000;
constexpr int kStartingTimeoutMs = 5000;

QString fileName(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

HandoffSocket::HandoffSocket(QObject* parent) : QObject(parent), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &HandoffSocket::accept);
}

bool HandoffSocket::listen(const std::string& path) {
    QLocalServer::removeServer(fileName(path));
    return m_server->listen(fileName(path));
}

void HandoffSocket::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            const qsizetype end = received->indexOf(kEnd);
            if (end < 0) {
                if (received->size() > kLongestName) {
                    socket->abort();  // not one of ours
                }
                return;
            }
            const std::string name = received->left(end).toStdString();
            received->clear();
            emit driveHanded(name);
            socket->write("1", 1);
            socket->disconnectFromServer();
        });
    }
}

namespace {

bool sendOverSocket(const std::string& name, const std::string& socketPath) {
    QLocalSocket socket;
    const QDeadlineTimer starting(kStartingTimeoutMs);
    while (true) {
        socket.connectToServer(fileName(socketPath));
        if (socket.waitForConnected(1000)) {
            break;
        }
        if (starting.hasExpired()) {
            return false;
        }
        QThread::msleep(50);  // the running player has the lock but is not listening yet
    }
    QByteArray message = QByteArray::fromStdString(name);
    message.append(kEnd);
    socket.write(message);
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs)) {
        return false;
    }
    return socket.bytesAvailable() > 0 || socket.waitForReadyRead(kAnswerTimeoutMs);
}

}  // namespace

bool HandDriveToRunningPlayer(const std::string& name, const std::string& socketPath) {
    return SendDriveOverSessionBus(name, kAnswerTimeoutMs) || sendOverSocket(name, socketPath);
}

}  // namespace sonarch
