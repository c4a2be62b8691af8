#include "desktop/desktop_entry.h"

namespace sonarch {

namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string ExecLineFor(const std::string& programPath, std::string_view fieldCode) {
    const bool quoted = programPath.find_first_of(kReserved) != std::string::npos;
    std::string line = quoted ? "\"" : "";
    for (const char c : programPath) {
        if (c == '%') {
            line += "%%";  // a literal percent sign, not a field code
            continue;
        }
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            line += '\\';
        }
        line += c;
    }
    if (quoted) {
        line += '"';
    }
    return line + " " + std::string(fieldCode);
}

std::string EscapeDesktopValue(std::string_view value) {
    std::string escaped;
    for (const char c : value) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    // A leading space would be taken for the space around '='.
    if (!escaped.empty() && escaped.front() == ' ') {
        escaped.replace(0, 1, "\\s");
    }
    return escaped;
}

std::string UnescapeDesktopValue(std::string_view value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                plain += ' ';
                break;
            case 'n':
                plain += '\n';
                break;
            case 't':
                plain += '\t';
                break;
            case 'r':
                plain += '\r';
                break;
            case '\\':
                plain += '\\';
                break;
            default:  // not an escape of the file: kept as written
                plain += '\\';
                plain += value[i];
        }
    }
    return plain;
}

std::optional<std::string> DesktopEntryValue(const std::string& text, std::string_view group,
                                             std::string_view key) {
    bool inGroup = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inGroup =
                line.size() >= 2 && line.back() == ']' && line.substr(1, line.size() - 2) == group;
            continue;
        }
        const auto equals = line.find('=');
        if (inGroup && equals != std::string_view::npos && trimmed(line.substr(0, equals)) == key) {
            return UnescapeDesktopValue(trimmed(line.substr(equals + 1)));
        }
    }
    return std::nullopt;
}

std::string CdPlayerEntryText(const std::string& execLine, const std::string& iconName) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.4\n"
           "Name=Sonarch CD Player\n"
           "GenericName=CD Player\n"
           "Comment=Play audio CDs with their titles from your own library\n"
           "Exec=" +
           EscapeDesktopValue(execLine) +
           "\n"
           "Icon=" +
           EscapeDesktopValue(iconName) +
           "\n"
           "Terminal=false\n"
           "MimeType=x-content/audio-cdda;\n"
           "Categories=AudioVideo;Audio;Player;\n"
           // The menus keep the installed entry; this one only answers inserted discs.
           "NoDisplay=true\n";
}

std::string CdPlayerActionText(const std::string& execLine, const std::string& iconName) {
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "X-KDE-Solid-Predicate=OpticalDisc.availableContent & 'Audio'\n"
           "Actions=play;\n"
           "X-KDE-Priority=TopLevel\n"
           "\n"
           "[Desktop Action play]\n"
           "Name=Play with Sonarch CD Player\n"
           "Icon=" +
           EscapeDesktopValue(iconName) +
           "\n"
           "Exec=" +
           EscapeDesktopValue(execLine) + "\n";
}

}  // namespace sonarch
