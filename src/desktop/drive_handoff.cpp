#include "desktop/drive_handoff.h"

#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <array>
#include <limits>
#include <memory>

#include "desktop/player_bus.h"

namespace sonarch {

namespace {

/*
 * A request may be begun until its startBy; the later start waits this much longer for the
 * answer, since opening a disc image can take some seconds (the image is read in a child
 * process with a time limit of its own). A player that comes to a request after its startBy
 * answers that it is too late and does nothing, so a start that gave up never leaves a
 * drive to be opened behind its back.
 */
constexpr std::int64_t kBeginMs = 10000;
constexpr std::int64_t kCarryOutMs = 30000;
constexpr int kStartingTimeoutMs = 5000;

// On the socket a request is three fields, each ended by a NUL: the request's word, the
// drive name's bytes and startBy in decimal. The answer is "1", or "0" and the reason, and
// the player then closes the connection.
constexpr char kEnd = '\0';
constexpr qsizetype kLongestRequest = 64 * 1024;

const std::array<std::pair<PlayerRequestKind, const char*>, 6> kWords{{
    {PlayerRequestKind::Raise, "raise"},
    {PlayerRequestKind::OpenDrive, "open"},
    {PlayerRequestKind::PlayPause, "play-pause"},
    {PlayerRequestKind::Next, "next"},
    {PlayerRequestKind::Previous, "previous"},
    {PlayerRequestKind::Stop, "stop"},
}};

QString fileName(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The user at the other end of a connected local socket.
std::optional<unsigned> peerUser(qintptr descriptor) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 ||
        ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return std::nullopt;
    }
    return credentials.uid;
}

PlayerAnswer notAnswered() {
    return {false,
            "the running player did not answer in time (it is busy or hanging); it will not "
            "carry the request out later"};
}

std::optional<PlayerRequest> decodeRequest(const QByteArray& bytes) {
    const QList<QByteArray> fields = bytes.split(kEnd);
    // Three fields and what follows the last end: nothing.
    if (fields.size() != 4 || !fields[3].isEmpty()) {
        return std::nullopt;
    }
    const auto kind = RequestKindFromWord(fields[0].toStdString());
    bool number = false;
    const qint64 startBy = fields[2].toLongLong(&number);
    if (!kind || !number) {
        return std::nullopt;
    }
    return PlayerRequest{*kind, fields[1].toStdString(), startBy, 0};
}

QByteArray encodeRequest(const PlayerRequest& request) {
    QByteArray bytes = QByteArray::fromStdString(RequestWord(request.kind));
    bytes.append(kEnd);
    bytes.append(QByteArray::fromStdString(request.drive));
    bytes.append(kEnd);
    bytes.append(QByteArray::number(qint64(request.startBy)));
    bytes.append(kEnd);
    return bytes;
}

// Milliseconds from now until the sender gives up waiting for the answer.
int answerWaitMs(const PlayerRequest& request) {
    const std::int64_t left = request.answerBy - MonotonicMs();
    return int(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
}

enum class BusOutcome { Answered, NotThere, NoAnswer };

// Asks the player's own object on the session bus: only this program has it, so a name
// taken by another program is never sent the request.
BusOutcome askOverSessionBus(const PlayerRequest& request, PlayerAnswer& answer) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kPlayerBusName)) {
        return BusOutcome::NotThere;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kPlayerBusName, kPlayerObjectPath,
                                                       kPlayerInterface, "Request");
    call << QString::fromStdString(RequestWord(request.kind))
         << QByteArray::fromStdString(request.drive) << qlonglong(request.startBy);
    const QDBusMessage reply = bus.call(call, QDBus::Block, answerWaitMs(request));
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2) {
        answer = {reply.arguments()[0].toBool(), reply.arguments()[1].toString().toStdString()};
        return BusOutcome::Answered;
    }
    const QString error = reply.errorName();
    if (error == "org.freedesktop.DBus.Error.NoReply" ||
        error == "org.freedesktop.DBus.Error.Timeout") {
        return BusOutcome::NoAnswer;  // the call waits in the player: no second way
    }
    return BusOutcome::NotThere;  // not our player on that name, or one without Request
}

}  // namespace

std::string RequestWord(PlayerRequestKind kind) {
    for (const auto& [each, word] : kWords) {
        if (each == kind) {
            return word;
        }
    }
    return {};
}

std::optional<PlayerRequestKind> RequestKindFromWord(const std::string& word) {
    for (const auto& [kind, each] : kWords) {
        if (word == each) {
            return kind;
        }
    }
    return std::nullopt;
}

std::int64_t MonotonicMs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

PlayerRequest MakeRequest(PlayerRequestKind kind, std::string drive) {
    const std::int64_t startBy = MonotonicMs() + kBeginMs;
    return {kind, std::move(drive), startBy, startBy + kCarryOutMs};
}

bool RequestExpired(const PlayerRequest& request) {
    return MonotonicMs() > request.startBy;
}

PlayerAnswer ExpiredAnswer() {
    return {false, "the request came after its sender had stopped waiting, so nothing was done"};
}

HandoffSocket::HandoffSocket(Handler handle, std::optional<unsigned> user, QObject* parent)
    : QObject(parent),
      m_handle(std::move(handle)),
      m_user(user.value_or(::geteuid())),
      m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &HandoffSocket::accept);
}

HandoffSocket::HandoffSocket(Answerer answer, std::optional<unsigned> user, QObject* parent)
    : HandoffSocket(
          Handler([answer = std::move(answer)](const PlayerRequest& request, const Reply& reply) {
              reply(answer(request));
          }),
          user, parent) {}

bool HandoffSocket::listen(const std::string& path) {
    QLocalServer::removeServer(fileName(path));
    return m_server->listen(fileName(path));
}

std::string HandoffSocket::errorString() const {
    return m_server->errorString().toStdString();
}

void HandoffSocket::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (peerUser(socket->socketDescriptor()) != m_user) {
            socket->abort();  // another account: not heard at all
            continue;
        }
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, received] { serve(socket, received); });
    }
}

void HandoffSocket::serve(QLocalSocket* socket, const std::shared_ptr<QByteArray>& received) {
    received->append(socket->readAll());
    if (received->count(kEnd) < 3) {
        if (received->size() > kLongestRequest) {
            socket->abort();  // not one of ours
        }
        return;
    }
    const std::optional<PlayerRequest> request = decodeRequest(*received);
    received->clear();
    const QPointer<QLocalSocket> sender(socket);
    const Reply reply = [sender](const PlayerAnswer& answer) {
        if (!sender || sender->state() != QLocalSocket::ConnectedState) {
            return;  // the later start has stopped waiting
        }
        QByteArray bytes(answer.done ? "1" : "0");
        bytes.append(QByteArray::fromStdString(answer.problem));
        sender->write(bytes);
        sender->disconnectFromServer();
    };
    if (request) {
        m_handle(*request, reply);
    } else {
        reply({false, "the request was not understood"});
    }
}

PlayerAnswer AskOverSocket(const PlayerRequest& request, const std::string& socketPath,
                           std::optional<unsigned> user) {
    QLocalSocket socket;
    const QDeadlineTimer starting(kStartingTimeoutMs);
    while (true) {
        socket.connectToServer(fileName(socketPath));
        if (socket.waitForConnected(1000)) {
            break;
        }
        if (starting.hasExpired()) {
            return {false, "the running player cannot be reached at " + socketPath + ": " +
                               socket.errorString().toStdString()};
        }
        QThread::msleep(50);  // the running player has the lock but is not listening yet
    }
    if (peerUser(socket.socketDescriptor()) != user.value_or(::geteuid())) {
        return {false, socketPath + " is held by another user, and nothing is sent there"};
    }
    const QDeadlineTimer waiting(answerWaitMs(request));
    socket.write(encodeRequest(request));
    socket.waitForBytesWritten(int(waiting.remainingTime()));
    QByteArray answer;
    while (socket.state() == QLocalSocket::ConnectedState &&
           socket.waitForReadyRead(int(waiting.remainingTime()))) {
        answer.append(socket.readAll());
    }
    answer.append(socket.readAll());
    if (answer.isEmpty()) {
        return socket.state() == QLocalSocket::ConnectedState
                   ? notAnswered()
                   : PlayerAnswer{false, "the running player closed the connection unanswered"};
    }
    return {answer.front() == '1', answer.mid(1).toStdString()};
}

PlayerAnswer AskRunningPlayer(const PlayerRequest& request, const std::string& socketPath) {
    PlayerAnswer answer;
    switch (askOverSessionBus(request, answer)) {
        case BusOutcome::Answered:
            return answer;
        case BusOutcome::NoAnswer:
            return notAnswered();
        case BusOutcome::NotThere:
            break;
    }
    return AskOverSocket(request, socketPath);
}

}  // namespace sonarch
