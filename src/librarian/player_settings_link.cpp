#include "librarian/player_settings_link.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QScreen>

#include "core/safe_file.h"
#include "core/settings_file.h"
#include "desktop/player_bus.h"
#include "layout/window_places.h"
#include "library/library_choice.h"

namespace sonarch {

namespace {

constexpr int kAnswerWaitMs = 5000;
constexpr std::size_t kLargestSettingsFile = 64 * 1024;

// Where the player puts its window when its settings hold no place: the middle of the
// primary screen, as the player itself works it out.
WindowPosition centredPlayer() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(1024, 768);
    return CentredWindowPosition(size.width() * kTwipsPerPixel, size.height() * kTwipsPerPixel,
                                 kWindowWidthTwips, kNormalHeightTwips);
}

std::optional<Settings> storedSettings(const std::string& folder, std::string* error) {
    PosixFileOps files;
    FileBytes read = ReadOwnFile(SettingsFilePath(folder), kLargestSettingsFile, files);
    if (read.missing || !read.error.empty()) {
        if (error) {
            *error = read.error;
        }
        return std::nullopt;
    }
    return ParseSettings(read.bytes, centredPlayer()).settings;
}

QDBusMessage playerCall(const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPlayerBusName, kPlayerObjectPath,
                                                       kPlayerLibraryInterface, method);
    call.setAutoStartService(false);
    return call;
}

}  // namespace

PlayerSettingsLink::PlayerSettingsLink(std::string settingsFolder,
                                       std::optional<QDBusConnection> bus)
    : m_settingsFolder(std::move(settingsFolder)), m_bus(std::move(bus)) {}

bool PlayerSettingsLink::playerRuns() const {
    return m_bus && m_bus->isConnected() && m_bus->interface() &&
           m_bus->interface()->isServiceRegistered(kPlayerBusName);
}

std::string PlayerSettingsLink::playerLibrary() {
    if (playerRuns()) {
        const QDBusMessage reply = m_bus->call(playerCall("Library"), QDBus::Block, kAnswerWaitMs);
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
            return reply.arguments()[0].toByteArray().toStdString();
        }
    }
    const auto stored = storedSettings(m_settingsFolder, nullptr);
    return stored ? stored->databasePath : std::string(kNoDatabase);
}

Result<bool> PlayerSettingsLink::useLibrary(const std::string& path) {
    using R = Result<bool>;
    if (playerRuns()) {
        QDBusMessage call = playerCall("UseLibrary");
        call << QByteArray::fromStdString(path);
        const QDBusMessage reply = m_bus->call(call, QDBus::Block, kAnswerWaitMs);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            return R::success(true);
        }
        return R::failure("The running player could not be told to use the library (" +
                          reply.errorMessage().toStdString() +
                          "); choose it in the player's options.");
    }
    std::string error;
    const std::optional<Settings> stored = storedSettings(m_settingsFolder, &error);
    if (!stored && !error.empty()) {
        return R::failure("The player's settings cannot be read: " + error);
    }
    Settings settings;
    if (stored) {
        settings = *stored;
    } else {
        // The player has not run yet: its first start finds the file it would have made.
        const WindowPosition centred = centredPlayer();
        settings.windowLeft = int(centred.left);
        settings.windowTop = int(centred.top);
    }
    settings.databasePath = path;
    const auto saved = SaveSettings(m_settingsFolder, settings,
                                    {double(settings.windowLeft), double(settings.windowTop)});
    if (!saved.ok()) {
        return R::failure(saved.error());
    }
    return R::success(true);
}

void PlayerSettingsLink::discChanged(const std::string& library, const std::string& key) {
    if (!playerRuns()) {
        return;  // a player that starts later reads the library anew anyway
    }
    QDBusMessage call = playerCall("DiscChanged");
    call << QByteArray::fromStdString(library) << QString::fromStdString(key);
    m_bus->send(call);
}

}  // namespace sonarch
