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

Result<std::string> UserDemoLibrary(const std::string& installed, const std::string& userData) {
    using R = Result<std::string>;
    namespace fs = std::filesystem;
    if (userData.empty()) {
        return R::failure("there is no folder for the user's data");
    }
    const fs::path folder = fs::path(userData) / "qvplayer";
    const fs::path copy = folder / "demo.dbd";
    std::error_code error;
    const fs::file_status status = fs::symlink_status(copy, error);
    if (fs::is_regular_file(status)) {
        return R::success(copy.string());
    }
    if (fs::exists(status)) {
        return R::failure(copy.string() + " is there but is not a library file");
    }
    fs::create_directories(folder, error);
    if (error) {
        return R::failure("cannot make the folder " + folder.string() + ": " + error.message());
    }
    // Copied under another name first, so that a copy cut short is never taken for the library.
    const fs::path partial = folder / ".demo.dbd.part";
    fs::copy_file(installed, partial, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::replace, error);
    }
    if (!error) {
        fs::rename(partial, copy, error);
    }
    if (error) {
        const std::string why = error.message();
        fs::remove(partial, error);
        return R::failure("cannot copy the demo library to " + copy.string() + ": " + why);
    }
    return R::success(copy.string());
}

}  // namespace sonarch
