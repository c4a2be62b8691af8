#pragma once

// The real qvplayer as a process of its own on the offscreen platform, with private folders,
// and what it says on the session bus (the tests run under dbus-run-session).
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace sonarch::testing {

inline constexpr int kProcessWaitMs = 20000;
inline constexpr const char* kMprisService = "org.mpris.MediaPlayer2.sonarch";
inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisPlayer = "org.mpris.MediaPlayer2.Player";

// A player's own folders: settings, and a private runtime folder for its lock and socket.
struct PlayerHome {
    PlayerHome() {
        QDir(dir.path()).mkpath("runtime");
        QFile::setPermissions(dir.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString settings() const { return dir.path(); }
    QString file(const QString& name) const { return dir.filePath(name); }

    // The test's bus, or another that is not there (the player then uses its socket).
    enum class Bus { Session, Absent };
    QProcessEnvironment environment(Bus bus) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        env.remove("DISPLAY");
        if (bus == Bus::Absent) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
        }
        return env;
    }

    QTemporaryDir dir;
};

inline std::unique_ptr<QProcess> startPlayerProcess(const PlayerHome& home, PlayerHome::Bus bus,
                                                    const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(home.environment(bus));
    process->start(QVPLAYER, arguments);
    process->waitForStarted(kProcessWaitMs);
    return process;
}

// A start that runs to its end: exit code and standard error.
struct Finished {
    int exitCode = -1;
    QString errors;
};
inline Finished runPlayerProcess(const PlayerHome& home, PlayerHome::Bus bus,
                                 const QStringList& arguments) {
    auto process = startPlayerProcess(home, bus, arguments);
    if (!process->waitForFinished(kProcessWaitMs * 3)) {
        process->kill();
        process->waitForFinished();
        return {};
    }
    return {process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
            QString::fromUtf8(process->readAllStandardError())};
}

// Ends a player a test left running, the normal way.
struct ProcessStopper {
    explicit ProcessStopper(QProcess& process) : m_process(process) {}
    ~ProcessStopper() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(kProcessWaitMs);
        }
    }
    QProcess& m_process;
};

inline bool sessionBusMissing() {
    return !QDBusConnection::sessionBus().isConnected();
}

inline bool playerOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kMprisService);
}

inline QVariant mprisProperty(const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(kMprisService, kMprisPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString(kMprisPlayer) << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments().front().value<QDBusVariant>().variant();
}

inline QVariantMap mprisMetadata() {
    const QVariant value = mprisProperty("Metadata");
    if (value.canConvert<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

// Ends the player through the bus, the normal way, and waits for its end.
inline bool quitPlayer(QProcess& player) {
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kMprisService, kMprisPath, "org.mpris.MediaPlayer2", "Quit"),
        QDBus::Block, kProcessWaitMs);
    return player.waitForFinished(kProcessWaitMs) && player.exitCode() == 0;
}

}  // namespace sonarch::testing
