// qvplayer: wires the real services to the player window and runs it.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "app/command_line.h"
#include "app/signal_watcher.h"
#include "audio/audio_output_factory.h"
#include "core/settings_file.h"
#include "core/single_instance.h"
#include "device/cd_audio_device.h"
#include "device/clock.h"
#include "device/drive_factory.h"
#include "library/library_store.h"
#include "ui/cd_player.h"
#include "ui/message_box.h"

namespace {

using namespace sonarch;

// Qt ends the process when it finds no display; say so plainly before it tries.
bool haveDisplay() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
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

    // One player per user: a second start ends at once, without a word.
    SingleInstance instance(DefaultInstanceLockPath());
    if (instance.tryLock() == InstanceLock::HeldByAnother) {
        return 0;
    }
    const std::string settingsFolder = SettingsFolder(options.settingsDir);

    auto drive = openDrive(options.drive);
    if (!drive.ok()) {
        std::cerr << "qvplayer: " << drive.error() << "\n";
        return 1;
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
    CdAudioDevice device(*drive.value(), *sound.output);
    // With no audio output the mixer cannot open, and the window says so.
    Mixer mixer(sound.opened ? sound.output.get() : nullptr);
    MessageBoxMessages messages;

    LibraryStore library;
    Player player(PlayerServices{device, mixer, library, messages,
                                 [&](WindowPosition centred) {
                                     LoadedSettings loaded = LoadSettings(settingsFolder, centred);
                                     if (!loaded.error.empty()) {
                                         std::cerr << "qvplayer: " << loaded.error << "\n";
                                     }
                                     if (options.library) {
                                         loaded.settings.databasePath = *options.library;
                                     }
                                     return loaded.settings;
                                 },
                                 [&](const Settings& settings, WindowPosition window) {
                                     const auto saved =
                                         SaveSettings(settingsFolder, settings, window);
                                     if (!saved.ok()) {
                                         std::cerr << "qvplayer: " << saved.error() << "\n";
                                     }
                                 }});
    CDPlayer window(player);
    messages.setParent(&window);

    SignalWatcher watcher;
    // The window's close ends the program, after any poll in progress has finished.
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &player,
                     &Player::requestClose);

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
    return app.exec();
}
