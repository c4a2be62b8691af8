#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace sonarch {

// What a later start of the program asks of the running player: come forward (a start with
// no drive), open the start's drive, or a transport command from the desktop entry's actions.
enum class PlayerRequestKind { Raise, OpenDrive, PlayPause, Next, Previous, Stop };

struct PlayerRequest {
    PlayerRequestKind kind = PlayerRequestKind::Raise;
    std::string drive;  // OpenDrive: a drive name as --drive takes it, made absolute
    // The latest moment (MonotonicMs) the player may begin to carry the request out: one it
    // comes to later (it was busy) is answered as too late and not carried out, because
    // its sender may have given up and said it was not done.
    std::int64_t startBy = 0;
    // The sender's own: when it stops waiting for the answer, a while after startBy (an
    // image can take some seconds to open). Not sent.
    std::int64_t answerBy = 0;
};

// What the running player did: done, or why not in plain words.
struct PlayerAnswer {
    bool done = false;
    std::string problem;
};

// The words requests travel as, over the bus and the socket.
std::string RequestWord(PlayerRequestKind kind);
std::optional<PlayerRequestKind> RequestKindFromWord(const std::string& word);

// Milliseconds of the system's monotonic clock, which every process on the machine shares.
std::int64_t MonotonicMs();
// A request the player may begin within 10 seconds and answer within 30 more.
PlayerRequest MakeRequest(PlayerRequestKind kind, std::string drive = {});
// The running player's side: a request it comes to too late is answered with this, and
// nothing else happens.
bool RequestExpired(const PlayerRequest& request);
PlayerAnswer ExpiredAnswer();

// The running player's end of the local socket: a later start that finds no session bus
// connects, sends its request and waits for the answer. Only the user's own processes are
// heard.
class HandoffSocket : public QObject {
    Q_OBJECT
public:
    // The player answers through `reply`, at once or once it has done it (a drive opens on
    // a thread of its own); a sender that has hung up meanwhile is not answered.
    using Reply = std::function<void(const PlayerAnswer&)>;
    using Handler = std::function<void(const PlayerRequest&, Reply reply)>;
    using Answerer = std::function<PlayerAnswer(const PlayerRequest&)>;
    // `user` is whose connections are taken; the effective user of the process by default.
    explicit HandoffSocket(Handler handle, std::optional<unsigned> user = std::nullopt,
                           QObject* parent = nullptr);
    // A player that answers at once.
    explicit HandoffSocket(Answerer answer, std::optional<unsigned> user = std::nullopt,
                           QObject* parent = nullptr);

    // Listens at `path`. A socket file left there by a run that ended without removing it
    // is replaced: only the holder of the instance lock listens. False, with errorString()
    // saying why, when it cannot.
    bool listen(const std::string& path);
    std::string errorString() const;

private:
    void accept();
    void serve(QLocalSocket* socket, const std::shared_ptr<QByteArray>& received);

    Handler m_handle;
    unsigned m_user;
    QLocalServer* m_server;
};

// A later start's side, over the socket at `socketPath` only: the running player may still
// be starting, so connecting is tried again for a few seconds. A socket held by another user
// than `user` (the process's own by default) is never written to.
PlayerAnswer AskOverSocket(const PlayerRequest& request, const std::string& socketPath,
                           std::optional<unsigned> user = std::nullopt);

// A later start's side: asks the running player through its own object on the session bus,
// else over the socket. The answer is what the player did; when it does not answer in time,
// it says so, and the player will not carry the request out later.
PlayerAnswer AskRunningPlayer(const PlayerRequest& request, const std::string& socketPath);

}  // namespace sonarch
