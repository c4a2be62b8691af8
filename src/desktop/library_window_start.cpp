#include "desktop/library_window_start.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace sonarch {

std::vector<std::string> LibraryWindowArguments(const LibraryWindowRequest& request) {
    std::vector<std::string> arguments;
    if (!request.library.empty()) {
        arguments.insert(arguments.end(), {"--library", request.library});
    }
    if (!request.drive.empty()) {
        arguments.insert(arguments.end(), {"--drive", request.drive});
    }
    if (request.settingsDir) {
        arguments.insert(arguments.end(), {"--settings-dir", *request.settingsDir});
    }
    if (request.addDisc) {
        arguments.push_back("--add");
        if (request.track > 0) {
            arguments.insert(arguments.end(), {"--rate", std::to_string(request.track) + ":" +
                                                             std::to_string(request.rating)});
        }
    }
    return arguments;
}

Result<bool> StartLibraryWindow(const std::string& programDir,
                                const LibraryWindowRequest& request) {
    using R = Result<bool>;
    const QString program = QFile::decodeName(programDir.c_str()) + "/qvlibrary";
    if (!QFileInfo(program).isExecutable()) {
        return R::failure("The library window cannot be started: \"" + program.toStdString() +
                          "\" is not there. Install it together with the player.");
    }
    QStringList arguments;
    for (const std::string& argument : LibraryWindowArguments(request)) {
        arguments << QFile::decodeName(argument.c_str());
    }
    if (!QProcess::startDetached(program, arguments)) {
        return R::failure("The library window \"" + program.toStdString() + "\" did not start.");
    }
    return R::success(true);
}

}  // namespace sonarch
