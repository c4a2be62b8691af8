// qvplayer: wires the real services to the player window and runs it.
#include <unistd.h>
#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/signal_watcher.h"
#include "app/sound_link.h"
#include "audio/audio_output_factory.h"
#include "core/install_layout.h"
#include "core/player.h"
#include "core/player_services.h"
#include "core/player_window_model.h"
#include "core/settings_file.h"
#include "core/state_file.h"
#include "desktop/desktop_registration.h"
#include "desktop/drive_handoff.h"
#include "desktop/library_window_start.h"
#include "desktop/open_with_shell.h"
#include "desktop/product_info.h"
#include "desktop/single_instance.h"
#include "device/drives/cd_drive.h"
#include "device/drives/drive_factory.h"
#include "device/drives/drive_name.h"
#include "device/drives/switchable_drive.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "library/library_store.h"
#include "mpris/mpris_service.h"
#include "ui/cd_player.h"
#include "ui/message_box.h"

namespace {

using namespace sonarch;

// Qt ends the process when it finds no display; say so plainly before it tries.
bool haveDisplay() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// A drive described on the command line ("demo", "virtual:...") that does not parse is a
// mistake in the options, not a drive that cannot be opened.
bool describesVirtualDisc(const std::string& drive) {
    return drive == "demo" || drive.rfind("virtual:", 0) == 0;
}

// An installed player started on the demo disc takes the demo library it brings, as if
// given with --library, unless a library is named or was chosen before.
std::optional<std::string> installedDemoLibraryFor(const CommandLine& options,
                                                   const std::string& drive) {
    if (drive != "demo" || options.library) {
        return std::nullopt;
    }
    const auto dataFolder = ThisProgramsDataFolder();
    return dataFolder ? InstalledDemoLibrary(*dataFolder) : std::nullopt;
}

// The user's own copy of the installed demo library, so that the demo disc takes ratings
// and comments; the installed one (read only) when no copy can be made.
std::string demoLibraryForUser(const std::string& installed) {
    const auto copy = UserDemoLibrary(installed, XdgFolders::fromEnvironment().dataHome);
    if (!copy.ok()) {
        std::cerr << "qvplayer: " << copy.error() << "\n";
        return installed;
    }
    return copy.value();
}

// What a start asks of the player that runs already: its drive opened, a desktop action's
// command carried out, or, with neither, the window brought forward.
PlayerRequest requestFor(const CommandLine& options) {
    switch (options.remote) {
        case RemoteCommand::PlayPause:
            return MakeRequest(PlayerRequestKind::PlayPause);
        case RemoteCommand::Next:
            return MakeRequest(PlayerRequestKind::Next);
        case RemoteCommand::Previous:
            return MakeRequest(PlayerRequestKind::Previous);
        case RemoteCommand::Stop:
            return MakeRequest(PlayerRequestKind::Stop);
        case RemoteCommand::None:
            break;
    }
    if (options.drive.empty()) {
        return MakeRequest(PlayerRequestKind::Raise);
    }
    return MakeRequest(PlayerRequestKind::OpenDrive,
                       DriveNameFromArgument(options.drive).value_or(options.drive));
}

// The running player's answer, as the exit status and, when it did not do it, the reason.
int askRunningPlayer(const PlayerRequest& request, const std::string& socketPath) {
    const PlayerAnswer answer = AskRunningPlayer(request, socketPath);
    if (answer.done) {
        return 0;
    }
    switch (request.kind) {
        case PlayerRequestKind::OpenDrive:
            std::cerr << "qvplayer: the running player did not open '" << request.drive << "'";
            break;
        case PlayerRequestKind::Raise:
            std::cerr << "qvplayer: the running player's window did not come forward";
            break;
        default:
            std::cerr << "qvplayer: the running player did not take --"
                      << RequestWord(request.kind);
            break;
    }
    std::cerr << ": " << answer.problem << "\n";
    return 1;
}

// The drive as it is kept for the next start: a disc image or device by its full path.
std::string rememberedName(const std::string& drive) {
    return drive.empty() ? drive : DriveNameFromArgument(drive).value_or(drive);
}

// Placing the window, snapping it to the edges and keeping it on top need a window system
// that lets a program place its own windows. On a Wayland session with XWayland running
// (DISPLAY set), the window goes through XWayland, unless the user chose a platform.
void preferXWaylandOnWayland() {
    const bool wayland =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

// While a disc plays the window repaints two small pictures twice a second. Through the X
// server's shared memory, each repaint first waits for the server's answer that it has
// read the last one (a round trip and a wake-up); these few hundred bytes go through the
// socket without one. Qt decides when it connects, so the choice is made for that moment
// only: the programs the player starts (the library window, a browser) keep shared memory.
constexpr const char* kNoSharedMemory = "QT_XCB_NO_MITSHM";

// True when the choice was made here, to be taken back once Qt has connected.
bool repaintWithoutRoundTrips() {
    if (qEnvironmentVariableIsSet(kNoSharedMemory)) {
        return false;  // the user's own choice
    }
    qputenv(kNoSharedMemory, "1");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else: a signal at any point of start-up then ends the player through
    // its normal shut-down once the event loop runs, not in the middle of it.
    SignalWatcher::catchTerminationSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto line = parseCommandLine(arguments);
    if (!line.ok()) {
        std::cerr << "qvplayer: " << line.error() << "\n" << usageText();
        return 2;
    }
    if (line.value().help) {
        std::cout << usageText();
        return 0;
    }
    if (line.value().version) {
        std::cout << "qvplayer " << ProgramVersion() << "\n";
        return 0;
    }
    const CommandLine& options = line.value();
    if (!haveDisplay()) {
        std::cerr << "qvplayer: no graphical display to show the player on (DISPLAY and "
                     "WAYLAND_DISPLAY are unset)\n";
        return 1;
    }
    preferXWaylandOnWayland();
    const bool noSharedMemory = repaintWithoutRoundTrips();
    QApplication app(argc, argv);
    if (noSharedMemory) {
        qunsetenv(kNoSharedMemory);
    }
    QApplication::setApplicationName("Sonarch CD Player");
    QApplication::setApplicationVersion(QString::fromStdString(ProgramVersion()));
    // Wayland desktops find the installed entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(SONARCH_APP_ID);
    SignalWatcher watcher;

    // One player per user: a later start hands its drive or command over, or brings the
    // running window forward, and ends.
    const Result<std::string> lockPath = DefaultInstanceLockPath();
    std::unique_ptr<SingleInstance> instance;
    InstanceLock lock = InstanceLock::Unavailable;
    if (lockPath.ok()) {
        instance = std::make_unique<SingleInstance>(lockPath.value());
        lock = instance->tryLock();
        if (lock == InstanceLock::Unavailable) {
            std::cerr << "qvplayer: " << instance->error() << "\n";
        }
    } else {
        std::cerr << "qvplayer: " << lockPath.error() << "\n";
    }
    const std::string socketPath = instance ? instance->socketPath() : std::string();
    if (lock == InstanceLock::HeldByAnother) {
        return askRunningPlayer(requestFor(options), socketPath);
    }
    if (lock == InstanceLock::Unavailable && options.remote != RemoteCommand::None &&
        AskRunningPlayer(requestFor(options), socketPath).done) {
        return 0;  // no lock to tell, but a player on the bus took the command
    }
    // Play/Pause with no player running starts one, which plays the disc as any start does;
    // the other commands have nothing to act on.
    if (options.remote != RemoteCommand::None && options.remote != RemoteCommand::PlayPause) {
        std::cerr << "qvplayer: no player is running\n";
        return 1;
    }
    MprisService* laterStarts = nullptr;  // answers later starts once the player is made
    HandoffSocket handoff(HandoffSocket::Handler(
        [&laterStarts](const PlayerRequest& request, const HandoffSocket::Reply& reply) {
            if (laterStarts) {
                laterStarts->answerLaterStart(request, reply);
            } else {
                reply({false, "the player is still starting"});
            }
        }));
    if (!socketPath.empty() && !handoff.listen(socketPath)) {
        std::cerr << "qvplayer: later starts can reach this player only over the session bus: "
                  << handoff.errorString() << "\n";
    }
    const std::string settingsFolder = SettingsFolder(options.settingsDir);

    // A start without a drive opens the drive or image of the last run, while it is there.
    std::string lastDriveProblem;
    const std::optional<std::string> lastDrive = ReadLastDrive(settingsFolder, &lastDriveProblem);
    if (!lastDriveProblem.empty()) {
        std::cerr << "qvplayer: " << lastDriveProblem << "\n";
    }
    const std::string startDrive =
        DriveToOpen(options.drive, lastDrive,
                    [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; });
    const std::optional<std::string> demoLibrary = installedDemoLibraryFor(options, startDrive);

    // Without a drive that opens, the player still starts, empty, and says why.
    SwitchableDrive drive;
    std::string driveProblem;
    std::optional<std::string> openedDrive;  // the last drive opened, kept for the next start
    if (auto opened = openDrive(startDrive); opened.ok()) {
        drive.switchTo(std::move(opened.value()));
        openedDrive = rememberedName(startDrive);
    } else if (describesVirtualDisc(startDrive)) {
        std::cerr << "qvplayer: " << opened.error() << "\n";
        return 2;
    } else {
        std::cerr << "qvplayer: " << opened.error() << "\n";
        driveProblem = opened.error();
    }
    SteadyClock clock;
    auto audio = openAudioOutput(options.audio, clock);
    if (!audio.ok()) {
        std::cerr << "qvplayer: " << audio.error() << "\n";
        return 2;
    }
    AudioChoice& sound = audio.value();
    if (!sound.opened) {
        std::cerr << "qvplayer: " << sound.error << "\n";
    }
    CdAudioDevice device(drive, *sound.output);
    // With no audio output the mixer cannot open, and the window says so.
    Mixer mixer(sound.opened ? sound.output.get() : nullptr);
    MessageBoxMessages messages;

    auto loadSettings = [&](WindowPosition centred) {
        LoadedSettings loaded = LoadSettings(settingsFolder, centred);
        if (!loaded.error.empty()) {
            std::cerr << "qvplayer: " << loaded.error << "\n";
        }
        if (options.library) {
            loaded.settings.databasePath = *options.library;
        } else if (demoLibrary && (loaded.settings.databasePath == kNoDatabase ||
                                   loaded.settings.databasePath == *demoLibrary)) {
            loaded.settings.databasePath = demoLibraryForUser(*demoLibrary);
        }
        return loaded.settings;
    };
    auto saveSettings = [&](const Settings& settings, WindowPosition window) {
        const auto saved = SaveSettings(settingsFolder, settings, window);
        if (!saved.ok()) {
            std::cerr << "qvplayer: " << saved.error() << "\n";
        }
        if (openedDrive && IsRememberedDrive(*openedDrive) &&
            *openedDrive != lastDrive.value_or("")) {
            const auto kept = SaveLastDrive(settingsFolder, *openedDrive);
            if (!kept.ok()) {
                std::cerr << "qvplayer: " << kept.error() << "\n";
            }
        }
    };
    // A termination signal also ends a library operation at its next step, so that a slow
    // library file cannot keep the player from closing.
    LibraryStore library(LibraryStore::kDefaultBusyTimeout, &SignalWatcher::terminationFlag());
    PlayerServices services{device, mixer, library, messages, loadSettings, saveSettings, &device};
    // Called on the player's drive-opening thread; what it opened is noted below, on ours.
    services.openDrive = [](const std::string& name) { return openDrive(name); };
    services.drives = &drive;
    Player player(std::move(services));
    QObject::connect(&player, &Player::driveChanged, &player, [&](const std::string& name) {
        openedDrive = rememberedName(name);
        // The demo disc handed over to a player that has no library brings the installed
        // demo library, as a first start on it does.
        if (player.settings().databasePath == kNoDatabase) {
            if (const auto demo = installedDemoLibraryFor(options, name)) {
                player.setDatabasePath(demoLibraryForUser(*demo));
            }
        }
    });
    PlayerWindowModel windowModel(player);
    // What the window asks of the desktop: links opened in the browser, the registration
    // as the default CD player.
    ShellOpener shell(nullptr);
    CDPlayer window(
        windowModel,
        WindowServices{
            shell,
            DesktopRegistration(XdgFolders::fromEnvironment(),
                                QCoreApplication::applicationFilePath().toStdString(),
                                ":/skin/icon.png"),
            {},
            {},
            [] { return CdDrive::systemDrives(); },
            // The library window, beside this program, on its library and drive.
            [&](bool addDisc, int track, int rating) {
                const std::string& chosen = player.settings().databasePath;
                const LibraryWindowRequest request{chosen == kNoDatabase ? std::string() : chosen,
                                                   openedDrive.value_or(""),
                                                   settingsFolder,
                                                   addDisc,
                                                   track,
                                                   rating};
                const auto started = StartLibraryWindow(
                    QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(),
                    request);
                if (!started.ok()) {
                    messages.showMessage(started.error());
                }
            }});

    messages.setParent(&window);
    // The sound server's stream carries the current track, and its trouble reaches the
    // status line.
    std::optional<SoundLink> soundLink;
    if (sound.desktop) {
        soundLink.emplace(player, *sound.desktop);
    }

    // The window's close ends the program, after any poll in progress has finished; a
    // message waiting for its OK does not hold it up.
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &player, [&] {
        messages.closeOpenMessages();
        player.requestClose();
    });
    // Media keys and desktop widgets; with no session bus the player runs on without.
    MprisService mpris(player);
    mpris.registerOn(QDBusConnection::sessionBus());
    laterStarts = &mpris;

    int polls = 0;
    if (options.screenshot) {
        // Three polls in, the time is running; then the window closes the normal way.
        QObject::connect(&player, &Player::polled, &window, [&] {
            if (++polls == 3) {
                const bool saved = window.grab().save(QString::fromStdString(*options.screenshot));
                if (!saved) {
                    std::cerr << "qvplayer: cannot write " << *options.screenshot << "\n";
                }
                window.close();
            }
        });
    }
    window.Form_Load();
    if (!driveProblem.empty()) {
        player.showDriveProblem(driveProblem);
    }
    return app.exec();
}
