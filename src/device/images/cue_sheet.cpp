#include "device/images/cue_sheet.h"

#include <cctype>
#include <filesystem>

#include "base/number_text.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

using LayoutResult = Result<CueLayout>;

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::vector<std::string_view> sheetLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Track types whose sectors are 2352 bytes in the file, so that a file's size gives its
// length on the disc.
bool rawSectorType(const std::string& type) {
    return type == "audio" || type == "mode1/2352" || type == "mode2/2352" || type == "cdi/2352";
}

// Data track types a sheet of one file may hold; their sectors are counted by the sheet's
// times alone, as the image readers count them.
bool otherDataType(const std::string& type) {
    return type == "mode1/2048" || type == "mode2/2336" || type == "mode2/2048" ||
           type == "mode2/2324" || type == "cdi/2336";
}

bool textKeyword(const std::string& keyword) {
    return keyword == "title" || keyword == "performer" || keyword == "songwriter" ||
           keyword == "composer" || keyword == "arranger" || keyword == "message";
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The parts of a sheet laid out so far.
struct Builder {
    CueLayout layout;
    std::int64_t discSectors = 0;    // sectors laid out so far
    std::int32_t fileSectors = 0;    // in the current file
    std::int32_t fileDiscStart = 0;  // where the current file's sector 0 lies on the disc
    bool haveFile = false;
    bool trackHasStart = true;
    std::int32_t pregap = 0;
};

}  // namespace

std::vector<std::string> SheetWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const auto blank = [&line](std::size_t at) {
        return std::isspace(static_cast<unsigned char>(line[at])) != 0;
    };
    while (i < line.size()) {
        while (i < line.size() && blank(i)) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::string word;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            word = std::string(
                line.substr(i + 1, close == std::string_view::npos ? close : close - i - 1));
            i = close == std::string_view::npos ? line.size() : close + 1;
        } else {
            while (i < line.size() && !blank(i)) {
                word += line[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

LayoutResult LayOutCueSheet(std::string_view text, const std::string& sheetPath,
                            const CueFileLookup& files) {
    const std::vector<std::string_view> lines = sheetLines(text);
    int fileLines = 0;
    bool anyTrack = false;
    for (const std::string_view line : lines) {
        const auto words = SheetWords(line);
        if (!words.empty()) {
            const std::string keyword = lower(words[0]);
            fileLines += keyword == "file";
            anyTrack = anyTrack || keyword == "track";
        }
    }
    if (fileLines == 0 && !anyTrack) {
        return LayoutResult::failure("'" + sheetPath +
                                     "' is not a CUE sheet: it names no data file and no track.");
    }
    const bool oneFile = fileLines == 1;
    const std::filesystem::path sheet(sheetPath);
    const std::filesystem::path folder = sheet.parent_path();
    auto bad = [&sheetPath](std::size_t lineIndex, const std::string& why) {
        return LayoutResult::failure("CUE sheet '" + sheetPath + "', line " +
                                     std::to_string(lineIndex + 1) + ": " + why + ".");
    };

    Builder b;
    DiscToc& toc = b.layout.toc;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const auto words = SheetWords(lines[at]);
        if (words.empty()) {
            continue;
        }
        const std::string keyword = lower(words[0]);
        if (keyword == "file") {
            if (words.size() < 3) {
                return bad(at, "FILE needs a name and a type");
            }
            const std::string type = lower(words[2]);
            const bool wave = type == "wave";
            if (!wave && type != "binary") {
                return bad(at, "files of type " + words[2] + " cannot be played");
            }
            std::string path = (folder / words[1]).string();
            CueDataFile data = files(path, wave);
            if (!data.found && oneFile && !wave) {
                const std::string likeSheet = (folder / sheet.stem()).string() + ".bin";
                if (likeSheet != path) {
                    CueDataFile other = files(likeSheet, false);
                    if (other.found) {
                        path = likeSheet;
                        data = std::move(other);
                    }
                }
            }
            if (!data.found) {
                return LayoutResult::failure("The CUE sheet '" + sheetPath +
                                             "' names the data file '" + path +
                                             "', which is missing.");
            }
            if (!data.problem.empty()) {
                return bad(at, "'" + path + "' " + data.problem);
            }
            const std::uint64_t sectors = data.dataBytes / kBytesPerFrame;
            if (sectors > std::uint64_t(kMaxLeadoutSector - b.discSectors)) {
                return bad(at, "'" + path + "' makes the disc longer than a CD can hold");
            }
            CueExtent extent{path, data.dataOffset, static_cast<std::int32_t>(b.discSectors),
                             static_cast<std::int32_t>(sectors)};
            b.fileSectors = extent.sectors;
            b.fileDiscStart = extent.firstSector;
            b.discSectors += extent.sectors;
            b.layout.extents.push_back(std::move(extent));
            b.haveFile = true;
        } else if (keyword == "track") {
            if (!b.haveFile) {
                return bad(at, "TRACK before any FILE");
            }
            if (!b.trackHasStart) {
                return bad(at, "the track before has no INDEX 01");
            }
            if (words.size() < 3) {
                return bad(at, "TRACK needs a number and a type");
            }
            const auto number = parseInteger(words[1]);
            if (!number || *number < 1 || *number > 99 ||
                (!toc.tracks.empty() && *number != toc.tracks.back().number + 1)) {
                return bad(at, "track numbers must run from 1 to 99 in order");
            }
            const std::string type = lower(words[2]);
            const bool audio = type == "audio";
            if (!rawSectorType(type) && !(oneFile && otherDataType(type))) {
                return bad(at, "tracks of type " + words[2] + " cannot be read here");
            }
            toc.tracks.push_back({static_cast<int>(*number), 0, audio});
            b.trackHasStart = false;
            b.pregap = 0;
        } else if (keyword == "pregap") {
            const auto gap = words.size() == 2 ? parseMsf(words[1]) : std::nullopt;
            if (!gap || toc.tracks.empty() || b.trackHasStart) {
                return bad(at, "PREGAP needs a track and a length mm:ss:ff");
            }
            b.pregap = oneFile ? 0 : *gap;
        } else if (keyword == "index") {
            const auto index = words.size() == 3 ? parseInteger(words[1]) : std::nullopt;
            const auto start = words.size() == 3 ? parseMsf(words[2]) : std::nullopt;
            if (!index || !start || toc.tracks.empty() || b.trackHasStart) {
                return bad(at, "INDEX needs a track, a number and a time mm:ss:ff");
            }
            if (*index != 1) {
                continue;  // other indexes mark places inside a track
            }
            if (*start >= b.fileSectors) {
                return bad(at, "INDEX 01 lies past the end of its file");
            }
            const std::int32_t split = b.fileDiscStart + *start;
            if (b.pregap > 0) {
                if (b.pregap > kMaxLeadoutSector - b.discSectors) {
                    return bad(at, "the pregap makes the disc longer than a CD can hold");
                }
                // Silence the sheet lays on the disc without a file: the file's sectors
                // from this index on move back by its length.
                std::vector<CueExtent>& extents = b.layout.extents;
                CueExtent rest = extents.back();
                CueExtent& before = extents.back();
                before.sectors = split - before.firstSector;
                rest.byteOffset += std::uint64_t(before.sectors) * kBytesPerFrame;
                rest.sectors -= before.sectors;
                rest.firstSector = split + b.pregap;
                extents.push_back(CueExtent{"", 0, split, b.pregap});
                extents.push_back(std::move(rest));
                b.discSectors += b.pregap;
                b.fileDiscStart += b.pregap;
            }
            toc.tracks.back().startSector = split + b.pregap;
            b.trackHasStart = true;
        } else if (textKeyword(keyword) && words.size() >= 2) {
            const int track = toc.tracks.empty() ? 0 : toc.tracks.back().number;
            std::string value = words[1];  // a value without quotes may hold blanks too
            for (std::size_t w = 2; w < words.size(); ++w) {
                value += " " + words[w];
            }
            b.layout.text[track][upper(keyword)] = value;
        }
        // Flags, remarks and the like do not change the sound.
    }
    if (toc.tracks.empty() || !b.trackHasStart) {
        return LayoutResult::failure("The CUE sheet '" + sheetPath + "' lists no complete track.");
    }
    toc.leadoutSector = static_cast<std::int32_t>(b.discSectors);
    if (!TocLaysOutADisc(toc)) {
        return LayoutResult::failure("The CUE sheet '" + sheetPath +
                                     "' lays out its tracks out of order or past its files.");
    }
    return LayoutResult::success(std::move(b.layout));
}

}  // namespace sonarch
