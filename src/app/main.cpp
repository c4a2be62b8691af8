// qvplayer: wires the real services to the player window and runs it.
#include <QApplication>
#include <QDBusConnection>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "app/command_line.h"
#include "app/signal_watcher.h"
#include "audio/audio_output_factory.h"
#include "core/install_layout.h"
#include "core/settings_file.h"
#include "desktop/drive_handoff.h"
#include "desktop/single_instance.h"
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
std::optional<std::string> installedDemoLibraryFor(const CommandLine& options) {
    if (options.drive != "demo" || options.library) {
        return std::nullopt;
    }
    const auto dataFolder = ThisProgramsDataFolder();
    return dataFolder ? InstalledDemoLibrary(*dataFolder) : std::nullopt;
}

// Another player runs: a start with a drive hands it over, one without ends silently.
int handOver(const std::string& drive, const SingleInstance& instance) {
    if (drive.empty()) {
        return 0;
    }
    const std::string name = DriveNameFromArgument(drive).value_or(drive);
    if (!HandDriveToRunningPlayer(name, instance.socketPath())) {
        std::cerr << "qvplayer: the running player did not take the drive '" << name << "'\n";
        return 1;
    }
    return 0;
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
        std::cout << "qvplayer " << SONARCH_VERSION << "\n";
        return 0;
    }
    const CommandLine& options = line.value();
    if (!haveDisplay()) {
        std::cerr << "qvplayer: no graphical display to show the player on (DISPLAY and "
                     "WAYLAND_DISPLAY are unset)\n";
        return 1;
    }
    preferXWaylandOnWayland();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonarch CD Player");
    QApplication::setApplicationVersion(SONARCH_VERSION);
    // Wayland desktops find the installed entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(SONARCH_APP_ID);
    SignalWatcher watcher;

    // One player per user: a second start hands its drive over, if it names one, and ends.
    SingleInstance instance(DefaultInstanceLockPath());
    if (instance.tryLock() == InstanceLock::HeldByAnother) {
        return handOver(options.drive, instance);
    }
    HandoffSocket handoff;
    handoff.listen(instance.socketPath());
    const std::string settingsFolder = SettingsFolder(options.settingsDir);
    const std::optional<std::string> demoLibrary = installedDemoLibraryFor(options);

    // Without a drive that opens, the player still starts, empty, and says why.
    SwitchableDrive drive;
    std::string driveProblem;
    if (auto opened = openDrive(options.drive); opened.ok()) {
        drive.switchTo(std::move(opened.value()));
    } else if (describesVirtualDisc(options.drive)) {
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
        } else if (demoLibrary && loaded.settings.databasePath == kNoDatabase) {
            loaded.settings.databasePath = *demoLibrary;
        }
        return loaded.settings;
    };
    auto saveSettings = [&](const Settings& settings, WindowPosition window) {
        const auto saved = SaveSettings(settingsFolder, settings, window);
        if (!saved.ok()) {
            std::cerr << "qvplayer: " << saved.error() << "\n";
        }
    };
    // A termination signal also ends a library operation at its next step, so that a slow
    // library file cannot keep the player from closing.
    LibraryStore library(LibraryStore::kDefaultBusyTimeout, &SignalWatcher::terminationFlag());
    PlayerServices services{device, mixer, library, messages, loadSettings, saveSettings, &device};
    services.openDrive = [](const std::string& name) { return openDrive(name); };
    services.drives = &drive;
    Player player(std::move(services));
    CDPlayer window(player);
    messages.setParent(&window);

    // The window's close ends the program, after any poll in progress has finished; a
    // message waiting for its OK does not hold it up.
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &player, [&] {
        messages.closeOpenMessages();
        player.requestClose();
    });
    QObject::connect(&handoff, &HandoffSocket::driveHanded, &player,
                     [&](const std::string& name) { player.openDrive(name); });
    // Media keys and desktop widgets; with no session bus the player runs on without.
    MprisService mpris(player);
    mpris.registerOn(QDBusConnection::sessionBus());

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
