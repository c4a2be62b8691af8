#include "desktop/version_text.h"

#include <charconv>

#include "desktop/product_info.h"

namespace sonarch {

namespace {

// The number at the start of `text` (0 when there is none); `text` moves past it and a dot.
unsigned long takeNumber(std::string_view& text) {
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc()) {
        number = 0;
    }
    text.remove_prefix(std::size_t(end - text.data()));
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
    }
    return number;
}

}  // namespace

std::string VersionText(std::string_view version) {
    const unsigned long major = takeNumber(version);
    const unsigned long minor = takeNumber(version);
    return "Version " + std::to_string(major) + "." + std::to_string(minor);
}

std::string ProgramVersionText() {
    return VersionText(ProgramVersion());
}

}  // namespace sonarch
