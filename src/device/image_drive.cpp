#include "device/image_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "device/cd_text.h"
#include "device/msf.h"

namespace sonarch {

namespace {

using DriveResult = Result<std::unique_ptr<Drive>>;

std::vector<std::string> cueWords(const std::string& line);

// libcdio reports harmless oddities of images (a short pregap, for one) on stderr; the
// player reports what matters itself.
void quietLibcdio() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char*) {}); });
}

// libcdio looks for the files a TOC file names in the current folder rather than beside
// the TOC file. A copy naming them by full path, in a temporary file, reads right from
// anywhere; it is needed only while libcdio parses it.
class AbsoluteTocCopy {
public:
    explicit AbsoluteTocCopy(const std::string& tocPath) {
        std::ifstream in(tocPath);
        if (!in) {
            return;
        }
        const std::filesystem::path folder =
            std::filesystem::absolute(std::filesystem::path(tocPath)).parent_path();
        std::string text, line;
        while (std::getline(in, line)) {
            const std::size_t open = line.find('"');
            const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            std::string head = line.substr(0, open == std::string::npos ? line.size() : open);
            const auto words = cueWords(head);
            const bool namesFile =
                !words.empty() &&
                (words[0] == "FILE" || words[0] == "AUDIOFILE" || words[0] == "DATAFILE");
            if (namesFile && close != std::string::npos) {
                const std::string name = line.substr(open + 1, close - open - 1);
                if (!name.empty() && name[0] != '/') {
                    line = line.substr(0, open + 1) + (folder / name).string() + line.substr(close);
                }
            }
            text += line + "\n";
        }
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sonarch-XXXXXX.toc").string();
        const int fd = mkstemps(pattern.data(), 4);
        if (fd < 0) {
            return;
        }
        const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ::close(fd);
        m_path = pattern;
        m_ok = written;
    }
    ~AbsoluteTocCopy() {
        if (!m_path.empty()) {
            std::remove(m_path.c_str());
        }
    }
    // The copy, or the original when no copy could be made.
    const std::string& path(const std::string& original) const { return m_ok ? m_path : original; }

private:
    std::string m_path;
    bool m_ok = false;
};

// Starts must rise and lie before the leadout, or the sectors between them mean nothing.
bool tocIsSound(const DiscToc& toc) {
    if (toc.tracks.empty() || toc.tracks.front().startSector < 0) {
        return false;
    }
    for (std::size_t i = 1; i < toc.tracks.size(); ++i) {
        if (toc.tracks[i].startSector <= toc.tracks[i - 1].startSector ||
            toc.tracks[i].number != toc.tracks[i - 1].number + 1) {
            return false;
        }
    }
    return toc.leadoutSector > toc.tracks.back().startSector;
}

class CdioImageDrive : public ImageDrive {
public:
    CdioImageDrive(DiscToc toc, CdIo_t* cdio) : ImageDrive(std::move(toc)), m_cdio(cdio) {
        setDiscText(ReadCdText(cdio));
    }
    ~CdioImageDrive() override { cdio_destroy(m_cdio); }

protected:
    bool readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) override {
        std::lock_guard lock(m_mutex);
        return cdio_read_audio_sectors(m_cdio, out.data(), sector,
                                       static_cast<std::uint32_t>(count)) == DRIVER_OP_SUCCESS;
    }

private:
    std::mutex m_mutex;
    CdIo_t* m_cdio;
};

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Splits a CUE line into words; a quoted word may hold blanks.
std::vector<std::string> cueWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::string word;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            word =
                line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            i = close == std::string::npos ? line.size() : close + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word += line[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Finds the sample data of a WAV file holding CD audio; returns its byte offset and size.
std::optional<std::pair<std::uint64_t, std::uint64_t>> wavData(const std::string& path,
                                                               std::string& why) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[12];
    if (!in.read(reinterpret_cast<char*>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        why = "is not a WAV file";
        return std::nullopt;
    }
    bool formatOk = false;
    std::uint64_t at = 12;
    std::uint8_t chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), 8)) {
        const std::uint32_t size = le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t fmt[16];
            if (size < 16 || !in.read(reinterpret_cast<char*>(fmt), 16)) {
                break;
            }
            formatOk = (fmt[0] | fmt[1] << 8) == 1 && (fmt[2] | fmt[3] << 8) == 2 &&
                       le32(fmt + 4) == 44100 && (fmt[14] | fmt[15] << 8) == 16;
            in.seekg(std::streamoff(at + size + (size & 1)));
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatOk) {
                why = "is not 44.1 kHz 16-bit stereo PCM";
                return std::nullopt;
            }
            return std::make_pair(at, std::uint64_t{size});
        } else {
            in.seekg(std::streamoff(at + size + (size & 1)));
        }
        at += size + (size & 1);
    }
    why = "holds no sound data";
    return std::nullopt;
}

}  // namespace

ImageDrive::ImageDrive(DiscToc toc) : m_toc(std::move(toc)) {}

bool ImageDrive::mediaPresent() {
    return !m_doorOpen.load();
}

std::optional<DiscToc> ImageDrive::readToc() {
    if (m_doorOpen.load()) {
        return std::nullopt;
    }
    return m_toc;
}

DiscText ImageDrive::discText() {
    return m_doorOpen.load() ? DiscText{} : m_text;
}

bool ImageDrive::openDoor() {
    m_doorOpen = true;
    return true;
}

bool ImageDrive::closeDoor() {
    if (m_doorOpen.exchange(false)) {
        ++m_generation;  // the disc goes back in: the device reads it afresh
    }
    return true;
}

ReadStatus ImageDrive::readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    if (m_doorOpen.load()) {
        return ReadStatus::NoDisc;
    }
    if (sector < 0 || count < 0 || std::int64_t{sector} + count > m_toc.leadoutSector ||
        out.size() < std::size_t(count) * kBytesPerFrame) {
        return ReadStatus::Failed;
    }
    if (count == 0) {
        return ReadStatus::Ok;
    }
    return readSectors(sector, count, out) ? ReadStatus::Ok : ReadStatus::Failed;
}

int countCueFiles(const std::string& cuePath) {
    std::ifstream in(cuePath);
    if (!in) {
        return 0;
    }
    int files = 0;
    std::string line;
    while (std::getline(in, line)) {
        const auto words = cueWords(line);
        if (!words.empty() && lower(words[0]) == "file") {
            ++files;
        }
    }
    return files;
}

CueFilesDrive::CueFilesDrive(DiscToc toc, std::vector<Extent> extents)
    : ImageDrive(std::move(toc)), m_extents(std::move(extents)) {}

CueFilesDrive::~CueFilesDrive() {
    for (Extent& e : m_extents) {
        if (e.file) {
            std::fclose(e.file);
        }
    }
}

DriveResult CueFilesDrive::open(const std::string& cuePath) {
    std::ifstream in(cuePath);
    if (!in) {
        return DriveResult::failure("Cannot read the CUE sheet '" + cuePath + "'.");
    }
    const std::filesystem::path folder = std::filesystem::path(cuePath).parent_path();
    auto bad = [&cuePath](int lineNumber, const std::string& why) {
        return DriveResult::failure("CUE sheet '" + cuePath + "', line " +
                                    std::to_string(lineNumber) + ": " + why + ".");
    };

    std::vector<Extent> extents;
    DiscToc toc;
    std::int32_t discSectors = 0;  // sectors laid out so far
    bool haveFile = false;
    std::int32_t fileSectors = 0;
    std::int32_t fileDiscStart = 0;  // where the file's sector 0 lies, after any pregaps
    bool trackHasStart = true;
    std::int32_t pregap = 0;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const auto words = cueWords(line);
        if (words.empty()) {
            continue;
        }
        const std::string keyword = lower(words[0]);
        if (keyword == "file") {
            if (words.size() < 3) {
                return bad(lineNumber, "FILE needs a name and a type");
            }
            Extent extent;
            extent.path = (folder / words[1]).string();
            const std::string type = lower(words[2]);
            std::error_code error;
            const std::uint64_t size = std::filesystem::file_size(extent.path, error);
            if (error) {
                return bad(lineNumber, "cannot read '" + extent.path + "'");
            }
            std::uint64_t bytes = size;
            if (type == "wave") {
                std::string why;
                const auto data = wavData(extent.path, why);
                if (!data) {
                    return bad(lineNumber, "'" + extent.path + "' " + why);
                }
                extent.byteOffset = data->first;
                bytes = std::min(data->second, size - data->first);
            } else if (type != "binary") {
                return bad(lineNumber, "files of type " + words[2] + " cannot be played");
            }
            if (bytes / kBytesPerFrame > 1'000'000) {
                return bad(lineNumber, "'" + extent.path + "' is larger than any disc");
            }
            extent.sectors = static_cast<std::int32_t>(bytes / kBytesPerFrame);
            extent.firstSector = discSectors;
            fileSectors = extent.sectors;
            fileDiscStart = discSectors;
            discSectors += extent.sectors;
            extents.push_back(std::move(extent));
            haveFile = true;
        } else if (keyword == "track") {
            if (!haveFile) {
                return bad(lineNumber, "TRACK before any FILE");
            }
            if (!trackHasStart) {
                return bad(lineNumber, "the track before has no INDEX 01");
            }
            if (words.size() < 3) {
                return bad(lineNumber, "TRACK needs a number and a type");
            }
            const auto number = parseInteger(words[1]);
            if (!number || *number < 1 || *number > 99 ||
                (!toc.tracks.empty() && *number != toc.tracks.back().number + 1)) {
                return bad(lineNumber, "track numbers must run from 1 to 99 in order");
            }
            const std::string type = lower(words[2]);
            const bool audio = type == "audio";
            if (!audio && type != "mode1/2352" && type != "mode2/2352") {
                return bad(lineNumber, "tracks of type " + words[2] + " cannot be read here");
            }
            toc.tracks.push_back({static_cast<int>(*number), 0, audio});
            trackHasStart = false;
            pregap = 0;
        } else if (keyword == "pregap") {
            const auto gap = words.size() == 2 ? parseMsf(words[1]) : std::nullopt;
            if (!gap || toc.tracks.empty() || trackHasStart) {
                return bad(lineNumber, "PREGAP needs a track and a length mm:ss:ff");
            }
            pregap = *gap;
        } else if (keyword == "index") {
            const auto index = words.size() == 3 ? parseInteger(words[1]) : std::nullopt;
            const auto at = words.size() == 3 ? parseMsf(words[2]) : std::nullopt;
            if (!index || !at || toc.tracks.empty() || trackHasStart) {
                return bad(lineNumber, "INDEX needs a track, a number and a time mm:ss:ff");
            }
            if (*index != 1) {
                continue;  // other indexes mark places inside a track
            }
            if (*at >= fileSectors) {
                return bad(lineNumber, "INDEX 01 lies past the end of its file");
            }
            const std::int32_t split = fileDiscStart + *at;
            if (pregap > 0) {
                // Silence the sheet lays on the disc without a file: the file's sectors
                // from this index on move back by its length.
                Extent rest = extents.back();
                Extent& before = extents.back();
                before.sectors = split - before.firstSector;
                rest.byteOffset += std::uint64_t(before.sectors) * kBytesPerFrame;
                rest.sectors -= before.sectors;
                rest.firstSector = split + pregap;
                extents.push_back(Extent{"", 0, split, pregap, nullptr});
                extents.push_back(std::move(rest));
                discSectors += pregap;
                fileDiscStart += pregap;
            }
            toc.tracks.back().startSector = split + pregap;
            trackHasStart = true;
        }
        // Titles, performers, flags, remarks and the like do not change the sound.
    }
    if (toc.tracks.empty() || !trackHasStart) {
        return DriveResult::failure("The CUE sheet '" + cuePath + "' lists no complete track.");
    }
    toc.leadoutSector = discSectors;
    if (!tocIsSound(toc)) {
        return DriveResult::failure("The CUE sheet '" + cuePath +
                                    "' lays out its tracks out of order or past its files.");
    }
    std::unique_ptr<CueFilesDrive> drive(new CueFilesDrive(std::move(toc), std::move(extents)));
    drive->setDiscText(ReadCueSheetText(cuePath));
    return DriveResult::success(std::move(drive));
}

bool CueFilesDrive::readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    std::lock_guard lock(m_mutex);
    std::uint8_t* to = out.data();
    bool ok = true;
    while (count > 0) {
        auto extent = std::find_if(m_extents.begin(), m_extents.end(), [sector](const Extent& e) {
            return sector >= e.firstSector && sector < e.firstSector + e.sectors;
        });
        if (extent == m_extents.end()) {
            return false;
        }
        const int run = std::min(count, extent->firstSector + extent->sectors - sector);
        const std::size_t bytes = std::size_t(run) * kBytesPerFrame;
        if (extent->path.empty()) {
            std::memset(to, 0, bytes);
        } else {
            if (!extent->file) {
                extent->file = std::fopen(extent->path.c_str(), "rb");
            }
            const std::uint64_t at =
                extent->byteOffset + std::uint64_t(sector - extent->firstSector) * kBytesPerFrame;
            if (!extent->file || fseeko(extent->file, off_t(at), SEEK_SET) != 0 ||
                std::fread(to, 1, bytes, extent->file) != bytes) {
                // A file that shrank or went away: silence, and the caller hears of it.
                std::memset(to, 0, bytes);
                ok = false;
            }
        }
        to += bytes;
        sector += run;
        count -= run;
    }
    return ok;
}

DriveResult openImage(const std::string& path) {
    quietLibcdio();
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    if (extension == ".cue" && countCueFiles(path) > 1) {
        return CueFilesDrive::open(path);
    }
    CdIo_t* cdio = nullptr;
    if (extension == ".cue") {
        cdio = cdio_open_cue(path.c_str());
    } else if (extension == ".toc") {
        const AbsoluteTocCopy copy(path);
        cdio = cdio_open_cdrdao(copy.path(path).c_str());
    } else if (extension == ".nrg") {
        cdio = cdio_open_nrg(path.c_str());
    } else if (extension == ".bin") {
        cdio = cdio_open_bincue(path.c_str());
    } else {
        driver_id_t driver = DRIVER_UNKNOWN;
        cdio = cdio_open(path.c_str(), driver);
        if (cdio && cdio_get_driver_id(cdio) != DRIVER_BINCUE &&
            cdio_get_driver_id(cdio) != DRIVER_CDRDAO && cdio_get_driver_id(cdio) != DRIVER_NRG) {
            cdio_destroy(cdio);
            cdio = nullptr;
        }
    }
    if (!cdio) {
        return DriveResult::failure("'" + path +
                                    "' is not a disc image this player can read (CUE/BIN, "
                                    "cdrdao TOC or NRG).");
    }
    DiscToc toc;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK) {
        for (int t = first; t < first + count; ++t) {
            const auto track = static_cast<track_t>(t);
            toc.tracks.push_back({t, cdio_get_track_lsn(cdio, track),
                                  cdio_get_track_format(cdio, track) == TRACK_FORMAT_AUDIO});
        }
        toc.leadoutSector = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    }
    if (!tocIsSound(toc)) {
        cdio_destroy(cdio);
        // libcdio reads a TOC file naming one file per track with every track at sector 0.
        return DriveResult::failure("The tracks of '" + path +
                                    "' could not be laid out on a disc (a TOC file must keep "
                                    "all tracks in one file).");
    }
    return DriveResult::success(std::make_unique<CdioImageDrive>(std::move(toc), cdio));
}

}  // namespace sonarch
