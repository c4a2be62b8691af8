#include "desktop/product_info.h"

namespace sonarch {

std::string ProgramVersion() {
    return SONARCH_VERSION;
}

std::string ProductWebPage() {
    return SONARCH_WEB_PAGE;
}

std::string SupportAddress() {
    return SONARCH_SUPPORT_EMAIL;
}

}  // namespace sonarch
