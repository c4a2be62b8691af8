#include "library/jet/access_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace sonarch {

namespace {

// Page 0 begins with these four bytes and the engine's name; the version follows at 0x14.
constexpr std::string_view kPageStart{"\x00\x01\x00\x00", 4};
constexpr std::string_view kJetName{"Standard Jet DB\0", 16};
constexpr std::string_view kAceName{"Standard ACE DB\0", 16};
constexpr std::size_t kVersionAt = 0x14;
constexpr std::size_t kHeaderLength = kVersionAt + 4;

}  // namespace

std::optional<AccessFormat> AccessFormatOfHeader(std::string_view firstBytes) {
    if (firstBytes.size() < kHeaderLength || firstBytes.substr(0, 4) != kPageStart) {
        return std::nullopt;
    }
    const std::string_view name = firstBytes.substr(4, 16);
    if (name != kJetName && name != kAceName) {
        return std::nullopt;
    }
    const auto version = static_cast<unsigned char>(firstBytes[kVersionAt]);
    switch (version) {
        case 0:
            return AccessFormat::Jet3;
        case 1:
            return AccessFormat::Jet4;
        default:
            return AccessFormat::Ace;
    }
}

std::optional<AccessFormat> AccessFormatOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::array<char, kHeaderLength> header{};
    std::size_t have = 0;
    while (have < header.size()) {
        const ssize_t count = ::read(fd, header.data() + have, header.size() - have);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        have += std::size_t(count);
    }
    ::close(fd);
    return AccessFormatOfHeader(std::string_view(header.data(), have));
}

std::string AccessFormatName(AccessFormat format) {
    switch (format) {
        case AccessFormat::Jet3:
            return "Access 97 (Jet 3)";
        case AccessFormat::Jet4:
            return "Access 2000-2003 (Jet 4)";
        case AccessFormat::Ace:
            break;
    }
    return "Access 2007 or later (ACE)";
}

}  // namespace sonarch
