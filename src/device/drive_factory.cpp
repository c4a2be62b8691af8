#include "device/drive_factory.h"

#include "device/virtual_drive.h"

namespace sonarch {

Result<std::unique_ptr<Drive>> openDrive(const std::string& spec) {
    using R = Result<std::unique_ptr<Drive>>;
    if (spec == "demo" || spec.rfind("virtual:", 0) == 0) {
        std::string error;
        auto tracks = parseVirtualDisc(spec, &error);
        if (!tracks) {
            return R::failure("Bad virtual disc '" + spec + "': " + error + ".");
        }
        return R::success(std::make_unique<VirtualDrive>(std::move(*tracks)));
    }
    return R::failure("Real CD drives and disc images are not available in this build (" +
                      (spec.empty() ? std::string("default drive") : spec) +
                      "); use --drive demo or --drive virtual:LEN,LEN,...");
}

}  // namespace sonarch
