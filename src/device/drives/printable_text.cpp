#include "device/drives/printable_text.h"

#include <cstdint>
#include <cstdio>

#include "base/utf8.h"

namespace sonarch {

namespace {

std::string hexEscape(const char* form, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, form, value);
    return text;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[0];
            text.remove_prefix(1);
            continue;
        }
        if (byte == '\n' || byte == '\t' || byte == '\r') {
            out += byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : "\\r";
            text.remove_prefix(1);
            continue;
        }
        std::uint32_t code = 0;
        const std::size_t length = byte < 0x80 ? 0 : Utf8SequenceLength(text, code);
        if (length == 0) {
            out += hexEscape("\\x%02X", byte);
            text.remove_prefix(1);
        } else if (code < 0xA0) {
            out += hexEscape("\\u%04X", code);  // a C1 control, such as CSI
            text.remove_prefix(length);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace sonarch
