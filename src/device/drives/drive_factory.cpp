#include "device/drives/drive_factory.h"

#include <filesystem>

#include "device/drives/cd_drive.h"
#include "device/drives/image_drive.h"
#include "device/drives/printable_text.h"
#include "device/drives/virtual_drive.h"

namespace sonarch {

namespace {

using DriveResult = Result<std::unique_ptr<Drive>>;

DriveResult openNamedDrive(const std::string& name) {
    using R = DriveResult;
    if (name == "demo" || name.rfind("virtual:", 0) == 0) {
        std::string error;
        auto disc = parseVirtualDiscWithText(name, &error);
        if (!disc) {
            return R::failure("Bad virtual disc '" + name + "': " + error + ".");
        }
        return R::success(
            std::make_unique<VirtualDrive>(std::move(disc->tracks), std::move(disc->text)));
    }
    if (name.empty()) {
        return CdDrive::open("");
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (error || !fs::exists(status)) {
        return R::failure("There is no CD drive or disc image '" + name + "'.");
    }
    if (fs::is_block_file(status) || fs::is_character_file(status)) {
        return CdDrive::open(name);
    }
    if (!fs::is_regular_file(status)) {
        return R::failure("'" + name + "' is neither a CD drive nor a disc image.");
    }
    return openImage(name);
}

}  // namespace

Result<std::unique_ptr<Drive>> openDrive(const std::string& name) {
    DriveResult drive = openNamedDrive(name);
    if (drive.ok()) {
        return drive;
    }
    // The name came from a command line or a desktop and may hold anything.
    return DriveResult::failure(PrintableText(drive.error()));
}

}  // namespace sonarch
