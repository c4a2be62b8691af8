#include "device/drives/drive_name.h"

#include "base/absolute_path.h"

#include <cctype>

namespace sonarch {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "%20" and the like become their bytes; a lone or malformed "%" is kept as it is.
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The scheme of "scheme://...", lower-cased, or "" when the text is no such URI.
std::string uriScheme(const std::string& text) {
    const std::size_t colon = text.find("://");
    if (colon == std::string::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return {};
    }
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return {};
        }
        scheme += static_cast<char>(std::tolower(c));
    }
    return scheme;
}

}  // namespace

std::optional<std::string> DriveNameFromArgument(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text == "demo" || text.rfind("virtual:", 0) == 0) {
        return text;
    }
    const std::string scheme = uriScheme(text);
    if (scheme.empty()) {
        return AbsolutePath(text);
    }
    const std::string rest = text.substr(scheme.size() + 3);
    const std::size_t slash = rest.find('/');
    const std::string host = rest.substr(0, slash);
    const std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
    const std::string name = percentDecoded(host);
    const std::string file = percentDecoded(path);
    if (name.find('\0') != std::string::npos || file.find('\0') != std::string::npos) {
        return std::nullopt;  // no file name holds a NUL
    }
    if (scheme == "file") {
        if ((!name.empty() && name != "localhost") || file.empty()) {
            return std::nullopt;  // a file on another machine
        }
        return file;
    }
    if (scheme == "cdda") {
        // "cdda://sr0/" names the drive by its device name, "cdda://%2Fdev%2Fcdrom/" and
        // "cdda:///dev/sr0" by its path.
        if (!name.empty()) {
            return name.front() == '/' ? name : "/dev/" + name;
        }
        return file.empty() || file == "/" ? std::nullopt : std::optional(file);
    }
    return std::nullopt;
}

}  // namespace sonarch
