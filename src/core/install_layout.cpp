#include "core/install_layout.h"

#include <sys/stat.h>

#include <filesystem>

#include <QCoreApplication>
#include <QFile>

#ifndef SONARCH_DATA_FROM_PROGRAM
#error "SONARCH_DATA_FROM_PROGRAM names the data folder as seen from the program folder"
#endif

namespace sonarch {

namespace {

bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::string> InstalledDataFolder(const std::string& programDir,
                                               const std::string& dataFromProgram) {
    if (programDir.empty() || dataFromProgram.empty()) {
        return std::nullopt;
    }
    // "/usr/bin/../share/qvplayer" is kept as "/usr/share/qvplayer", the path users see.
    std::string folder =
        (std::filesystem::path(programDir) / dataFromProgram).lexically_normal().string();
    if (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (!isFile(folder + "/" + kInstalledMarkerName)) {
        return std::nullopt;
    }
    return folder;
}

std::optional<std::string> InstalledDataFolder(const std::string& programDir) {
    return InstalledDataFolder(programDir, SONARCH_DATA_FROM_PROGRAM);
}

std::optional<std::string> ThisProgramsDataFolder() {
    return InstalledDataFolder(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
}

std::optional<std::string> InstalledDemoLibrary(const std::string& dataFolder) {
    const std::string library = dataFolder + "/demo/demo.dbd";
    if (!isFile(library)) {
        return std::nullopt;
    }
    return library;
}

}  // namespace sonarch
