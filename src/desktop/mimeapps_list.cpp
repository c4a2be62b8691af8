#include "desktop/mimeapps_list.h"

#include <optional>
#include <string_view>

namespace sonarch {

namespace {

constexpr std::string_view kDefaultGroup = "Default Applications";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// The group a header line opens, or nothing for any other line.
std::optional<std::string_view> groupOf(std::string_view line) {
    const std::string_view text = trimmed(line);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        return text.substr(1, text.size() - 2);
    }
    return std::nullopt;
}

bool isKeyLine(std::string_view line, std::string_view key) {
    const std::string_view text = trimmed(line);
    const auto equals = text.find('=');
    return equals != std::string_view::npos && trimmed(text.substr(0, equals)) == key;
}

std::string_view valueOf(std::string_view line) {
    return trimmed(line.substr(line.find('=') + 1));
}

// Calls `visit(index, inDefaultGroup)` for each line, in order.
template <class F>
void forEachLine(const std::vector<std::string>& lines, F&& visit) {
    bool inDefault = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto group = groupOf(lines[i])) {
            inDefault = *group == kDefaultGroup;
            continue;
        }
        visit(i, inDefault);
    }
}

}  // namespace

std::vector<std::string> DefaultApplicationsFor(const std::string& text,
                                                const std::string& mimeType) {
    const std::vector<std::string> lines = linesOf(text);
    std::optional<std::size_t> found;
    forEachLine(lines, [&](std::size_t i, bool inDefault) {
        if (!found && inDefault && isKeyLine(lines[i], mimeType)) {
            found = i;
        }
    });
    std::vector<std::string> entries;
    if (!found) {
        return entries;
    }
    std::string_view rest = valueOf(lines[*found]);
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string_view entry = trimmed(rest.substr(0, end));
        if (!entry.empty()) {
            entries.emplace_back(entry);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return entries;
}

std::string WithDefaultApplication(const std::string& text, const std::string& mimeType,
                                   const std::string& desktopId) {
    std::vector<std::string> lines = linesOf(WithoutDefaultApplication(text, mimeType));
    const std::string line = mimeType + "=" + desktopId + ";";
    // Into the first [Default Applications] group, after its last line that is not blank.
    std::optional<std::size_t> header;
    std::optional<std::size_t> lastInGroup;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto group = groupOf(lines[i])) {
            if (header) {
                break;
            }
            if (*group == kDefaultGroup) {
                header = i;
            }
        } else if (header && !trimmed(lines[i]).empty()) {
            lastInGroup = i;
        }
    }
    if (header) {
        lines.insert(lines.begin() + std::ptrdiff_t(lastInGroup.value_or(*header) + 1), line);
        return joined(lines);
    }
    if (!lines.empty() && !trimmed(lines.back()).empty()) {
        lines.emplace_back();
    }
    lines.push_back("[" + std::string(kDefaultGroup) + "]");
    lines.push_back(line);
    return joined(lines);
}

std::string WithoutDefaultApplication(const std::string& text, const std::string& mimeType) {
    const std::vector<std::string> lines = linesOf(text);
    std::vector<bool> dropped(lines.size(), false);
    bool any = false;
    forEachLine(lines, [&](std::size_t i, bool inDefault) {
        if (inDefault && isKeyLine(lines[i], mimeType)) {
            dropped[i] = true;
            any = true;
        }
    });
    if (!any) {
        return text;  // byte for byte, a missing last line end included
    }
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!dropped[i]) {
            kept.push_back(lines[i]);
        }
    }
    return joined(kept);
}

}  // namespace sonarch
