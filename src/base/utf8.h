#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sonarch {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 for an ASCII
// byte), with the character it encodes in `code`; 0 when the text starts with no such
// sequence (a stray or overlong byte, a surrogate, a character past U+10FFFF, a cut).
inline std::size_t Utf8SequenceLength(std::string_view text, std::uint32_t& code) {
    if (text.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// True when the whole text is well-formed UTF-8.
inline bool IsWellFormedUtf8(std::string_view text) {
    while (!text.empty()) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceLength(text, code);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

// The text as UTF-8: as it is when it is well-formed UTF-8, else read byte for byte as
// Latin-1 (the usual other encoding of names on discs and in file systems).
inline std::string Utf8OrLatin1(std::string_view text) {
    if (IsWellFormedUtf8(text)) {
        return std::string(text);
    }
    std::string utf8;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

}  // namespace sonarch
