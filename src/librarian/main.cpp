// qvlibrary: the library window of the player, "Sonarch Library", on the real services.
#include <QApplication>
#include <QDBusConnection>
#include <QIcon>

#include <iostream>

#include "core/settings_file.h"
#include "core/state_file.h"
#include "desktop/product_info.h"
#include "librarian/dialog_file_chooser.h"
#include "librarian/dialog_messages.h"
#include "librarian/librarian_command_line.h"
#include "librarian/librarian_instance.h"
#include "librarian/librarian_window.h"
#include "librarian/player_settings_link.h"
#include "librarian/suggested_library.h"
#include "library/library_check_record.h"

int main(int argc, char** argv) {
    using namespace sonarch;
    const auto line = ParseLibrarianCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.ok()) {
        std::cerr << "qvlibrary: " << line.error() << "\n" << LibrarianUsageText();
        return 2;
    }
    const LibrarianCommandLine& options = line.value();
    if (options.help) {
        std::cout << LibrarianUsageText();
        return 0;
    }
    if (options.version) {
        std::cout << "qvlibrary " << ProgramVersion() << "\n";
        return 0;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::cerr << "qvlibrary: no graphical display to show the library on (DISPLAY and "
                     "WAYLAND_DISPLAY are unset)\n";
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonarch Library");
    QApplication::setApplicationVersion(QString::fromStdString(ProgramVersion()));
    QGuiApplication::setDesktopFileName(SONARCH_LIBRARY_APP_ID);
    QApplication::setWindowIcon(QIcon(":/librarian/icon.png"));

    const std::string settingsFolder = SettingsFolder(options.settingsDir);
    std::string drive = options.drive.value_or("");
    if (!options.drive) {
        std::string problem;
        drive = ReadLastDrive(settingsFolder, &problem).value_or("");
        if (!problem.empty()) {
            std::cerr << "qvlibrary: " << problem << "\n";
        }
    }
    OnlineSettings online;
    if (const auto fromEnvironment = OnlineSettings::fromEnvironment(); fromEnvironment.ok()) {
        online = fromEnvironment.value();
    } else {
        std::cerr << "qvlibrary: " << fromEnvironment.error() << "; asking "
                  << OnlineSettings::kMusicBrainz << " instead\n";
    }
    const auto recordFolder = LibraryCheckRecord::defaultFolder();
    const std::optional<LibraryCheckRecord> record =
        recordFolder ? std::optional(LibraryCheckRecord(*recordFolder)) : std::nullopt;

    // One library window: a later start hands its request over and ends.
    const PendingRating rating = options.rating.value_or(PendingRating{});
    if (LibrarianInstance::handOver(QDBusConnection::sessionBus(), options.drive.value_or(""),
                                    options.add, rating.track, rating.rating)) {
        return 0;
    }
    LibrarianInstance instance;
    instance.registerOn(QDBusConnection::sessionBus());

    DialogMessages messages;
    DialogFileChooser files;
    PlayerSettingsLink player(settingsFolder, QDBusConnection::sessionBus());
    const std::string library = options.library.value_or(player.playerLibrary());
    LibrarianWindow window(
        {messages, files, player, online, record ? &*record : nullptr, SuggestedLibraryPath()});
    messages.setParent(&window);
    files.setParent(&window);
    QObject::connect(&instance, &LibrarianInstance::showRequested, &window,
                     [&window](const std::string& drive, bool addDisc, int track, int given) {
                         window.takeRequest(
                             drive, addDisc,
                             track > 0 ? std::optional(PendingRating{track, given}) : std::nullopt);
                     });
    window.show();
    window.start(library, drive, options.add, options.rating);
    return app.exec();
}
