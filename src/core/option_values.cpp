#include "core/option_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/utf8.h"

namespace sonarch {

std::optional<std::int32_t> ParseSeekStep(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') {
        ++begin;  // from_chars takes no plus sign
        if (begin == end || *begin == '-') {
            return std::nullopt;
        }
    }
    std::int32_t step = 0;
    const auto [stop, error] = std::from_chars(begin, end, step);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return step;
}

std::string WithLibraryExtension(const std::string& name) {
    if (name.size() >= 4) {
        std::string ending = name.substr(name.size() - 4);
        std::transform(ending.begin(), ending.end(), ending.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (ending == ".dbd") {
            return name;
        }
    }
    return name + ".dbd";
}

std::string PathForField(const std::string& stored) {
    return Utf8OrLatin1(stored);
}

std::string PathFromField(const std::string& field, const std::string& stored) {
    return field == PathForField(stored) ? stored : field;
}

}  // namespace sonarch
