// The virtual-drive description of the command line ("virtual:LEN,LEN,..."): a disc it
// accepts is one a CD could be.
#include <cstdint>
#include <string>

#include "device/drives/virtual_drive.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& name : {text, "virtual:" + text}) {
        std::string error;
        const auto tracks = parseVirtualDisc(name, &error);
        if (!tracks) {
            FUZZ_CHECK(!error.empty());
            continue;
        }
        VirtualDrive drive(*tracks);
        const auto toc = drive.readToc();
        FUZZ_CHECK(tracks->empty() == !toc.has_value());
        FUZZ_CHECK(!toc || TocLaysOutADisc(*toc));
    }
    return 0;
}
