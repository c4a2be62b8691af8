#include "core/state_file.h"

#include <algorithm>
#include <string_view>

namespace sonarch {

namespace {

constexpr std::string_view kDriveKey = "drive=";
constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr const char* kHeading =
    "# Sonarch CD Player: what it had last (its settings are in player.dat)\n";

// One line of the file can hold it: no line end or other control byte.
bool storable(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

}  // namespace

std::string StateFilePath(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + kStateFileName;
    }
    return folder + "/" + kStateFileName;
}

std::optional<std::string> ReadLastDrive(const std::string& folder, std::string* error) {
    PosixFileOps files;
    return ReadLastDrive(folder, files, error);
}

std::optional<std::string> ReadLastDrive(const std::string& folder, FileOps& files,
                                         std::string* error) {
    const FileBytes read = ReadOwnFile(StateFilePath(folder), kMaxFileBytes, files);
    if (!read.error.empty() && error) {
        *error = read.error;
    }
    std::string_view text = read.bytes;
    std::optional<std::string> drive;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.substr(0, kDriveKey.size()) == kDriveKey) {
            drive = std::string(line.substr(kDriveKey.size()));
        }
    }
    return drive;
}

Result<std::string> SaveLastDrive(const std::string& folder, const std::string& drive) {
    PosixFileOps files;
    return SaveLastDrive(folder, drive, files);
}

Result<std::string> SaveLastDrive(const std::string& folder, const std::string& drive,
                                  FileOps& files) {
    if (!storable(drive)) {
        return Result<std::string>::failure("The drive '" + drive + "' cannot be kept.");
    }
    // The disc paths a user played are nobody else's business.
    constexpr unsigned kPrivateMode = 0600;
    const std::string text = std::string(kHeading) + std::string(kDriveKey) + drive + "\n";
    const Result<std::string> written =
        WriteOwnFile(StateFilePath(folder), text, kPrivateMode, files);
    if (!written.ok()) {
        return Result<std::string>::failure("The last drive was not kept: " + written.error());
    }
    return written;
}

bool IsRememberedDrive(const std::string& drive) {
    return drive.empty() || drive == "demo" || (drive.front() == '/' && storable(drive));
}

std::string DriveToOpen(const std::string& named, const std::optional<std::string>& last,
                        const std::function<bool(const std::string&)>& exists) {
    if (!named.empty()) {
        return named;
    }
    if (!last || !IsRememberedDrive(*last)) {
        return {};
    }
    if (*last == "demo") {
        return *last;
    }
    return !last->empty() && exists(*last) ? *last : std::string();
}

}  // namespace sonarch
