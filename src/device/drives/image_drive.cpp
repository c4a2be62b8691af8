#include "device/drives/image_drive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/images/cd_text.h"
#include "device/images/cdio_image.h"
#include "device/images/isolated_call.h"
#include "device/images/toc_file.h"

namespace sonarch {

namespace {

using DriveResult = Result<std::unique_ptr<Drive>>;

// A sheet or TOC file is a few kilobytes; reading stops here so that a huge file given in
// its place cannot exhaust memory.
constexpr std::size_t kMaxSheetBytes = 1024 * 1024;

std::string escapedField(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return out;
}

std::string unescapedField(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A sheet's CD-TEXT: its TITLE and PERFORMER lines, over those of the binary CDTEXTFILE it
// may name. libcdio parses that file, so it is read in a child process: a damaged one
// costs the disc its texts, never the player.
DiscText cueSheetText(const std::string& cuePath) {
    const IsolatedCall call = CallInChildProcess(
        [&cuePath] {
            const DiscText text = ReadCueSheetText(cuePath);
            std::string answer = escapedField(text.title) + "\t" + escapedField(text.performer);
            for (const TrackText& track : text.tracks) {
                answer += "\n" + escapedField(track.title) + "\t" + escapedField(track.performer);
            }
            return answer;
        },
        std::chrono::seconds(10));
    DiscText text;
    if (call.end != IsolatedCall::End::Returned) {
        return text;
    }
    std::istringstream lines(call.answer);
    std::string line;
    for (bool disc = true; std::getline(lines, line); disc = false) {
        const std::size_t tab = line.find('\t');
        const std::string title = unescapedField(line.substr(0, tab));
        const std::string performer =
            tab == std::string::npos ? std::string() : unescapedField(line.substr(tab + 1));
        if (disc) {
            text.title = title;
            text.performer = performer;
        } else {
            text.tracks.push_back({title, performer});
        }
    }
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The text of a sheet or TOC file, or why it cannot be read.
Result<std::string> readSheet(const std::string& path, const std::string& kind) {
    // Non-blocking, so that a pipe given as the sheet cannot hang the player.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Result<std::string>::failure("The " + kind + " '" + path +
                                            "' cannot be read: " + std::strerror(errno) + ".");
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Result<std::string>::failure("The " + kind + " '" + path +
                                            "' cannot be read: it is not a regular file.");
    }
    std::string text;
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            return Result<std::string>::failure("The " + kind + " '" + path +
                                                "' cannot be read: " + why + ".");
        }
        if (count == 0) {
            break;
        }
        text.append(buffer.data(), std::size_t(count));
        if (text.size() > kMaxSheetBytes) {
            ::close(fd);
            return Result<std::string>::failure("'" + path + "' is far too large for a " + kind +
                                                "; it is no disc image.");
        }
    }
    ::close(fd);
    return Result<std::string>::success(std::move(text));
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Finds the sample data of a WAV file holding CD audio.
void findWavData(const std::string& path, CueDataFile& file) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[12];
    if (!in.read(reinterpret_cast<char*>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        file.problem = "is not a WAV file";
        return;
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
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatOk) {
                file.problem = "is not 44.1 kHz 16-bit stereo PCM";
                return;
            }
            file.dataOffset = at;
            file.dataBytes =
                std::min<std::uint64_t>(size, file.dataBytes - std::min(at, file.dataBytes));
            return;
        }
        at += size + (size & 1);
        in.seekg(std::streamoff(at));
    }
    file.problem = "holds no sound data";
}

// What a sheet's FILE line finds on disk.
CueDataFile lookUpDataFile(const std::string& path, bool wave) {
    CueDataFile file;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return file;
        }
        file.found = true;
        file.problem = std::string("cannot be read: ") + std::strerror(errno);
        return file;
    }
    file.found = true;
    if (!S_ISREG(info.st_mode)) {
        file.problem = "is not a regular file";
        return file;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        file.problem = std::string("cannot be read: ") + std::strerror(errno);
        return file;
    }
    file.dataBytes = std::uint64_t(info.st_size);
    if (wave) {
        findWavData(path, file);
    }
    return file;
}

// A copy of a TOC file naming its data files in full, in a temporary file, needed only
// while libcdio parses it.
class FullPathTocCopy {
public:
    explicit FullPathTocCopy(const std::string& text) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sonarch-XXXXXX.toc").string();
        const int fd = mkstemps(pattern.data(), 4);
        if (fd < 0) {
            return;
        }
        m_path = pattern;
        m_ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ::close(fd);
    }
    ~FullPathTocCopy() {
        if (!m_path.empty()) {
            std::remove(m_path.c_str());
        }
    }
    FullPathTocCopy(const FullPathTocCopy&) = delete;
    FullPathTocCopy& operator=(const FullPathTocCopy&) = delete;

    bool ok() const { return m_ok; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_ok = false;
};

DriveResult openTocFile(const std::string& path) {
    const Result<std::string> text = readSheet(path, "TOC file");
    if (!text.ok()) {
        return DriveResult::failure(text.error());
    }
    const std::string folder =
        std::filesystem::absolute(std::filesystem::path(path)).parent_path().string();
    const TocFileCopy copy = TocFileWithFullPaths(text.value(), folder);
    for (const std::string& data : copy.dataFiles) {
        std::error_code error;
        if (!std::filesystem::exists(data, error)) {
            return DriveResult::failure("The TOC file '" + path + "' names the data file '" + data +
                                        "', which is missing.");
        }
    }
    const FullPathTocCopy file(copy.text);
    if (!file.ok()) {
        return DriveResult::failure("'" + path +
                                    "' could not be opened: no temporary copy could be made.");
    }
    return OpenCdioImage(file.path(), path, ImageFormat::Cdrdao);
}

}  // namespace

ImageDrive::ImageDrive(DiscToc toc) : m_toc(std::move(toc)) {}

bool ImageDrive::mediaPresent() {
    return !m_doorOpen.load();
}

DiscText ImageDrive::discText() {
    return m_doorOpen.load() ? DiscText{} : m_text;
}

std::optional<DiscToc> ImageDrive::readToc() {
    if (m_doorOpen.load()) {
        return std::nullopt;
    }
    return m_toc;
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

CueFilesDrive::CueFilesDrive(DiscToc toc, std::vector<OpenExtent> extents)
    : ImageDrive(std::move(toc)), m_extents(std::move(extents)) {}

CueFilesDrive::~CueFilesDrive() {
    for (OpenExtent& e : m_extents) {
        if (e.file) {
            std::fclose(e.file);
        }
    }
}

DriveResult CueFilesDrive::open(const std::string& cuePath) {
    const Result<std::string> text = readSheet(cuePath, "CUE sheet");
    if (!text.ok()) {
        return DriveResult::failure(text.error());
    }
    Result<CueLayout> layout = LayOutCueSheet(text.value(), cuePath, lookUpDataFile);
    if (!layout.ok()) {
        return DriveResult::failure(layout.error());
    }
    std::vector<OpenExtent> extents;
    for (CueExtent& extent : layout.value().extents) {
        extents.push_back({std::move(extent), nullptr});
    }
    std::unique_ptr<CueFilesDrive> drive(
        new CueFilesDrive(std::move(layout.value().toc), std::move(extents)));
    drive->setDiscText(cueSheetText(cuePath));
    return DriveResult::success(std::move(drive));
}

bool CueFilesDrive::readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    std::lock_guard lock(m_mutex);
    std::uint8_t* to = out.data();
    bool ok = true;
    while (count > 0) {
        auto open = std::find_if(m_extents.begin(), m_extents.end(), [sector](const auto& e) {
            return sector >= e.extent.firstSector &&
                   sector < e.extent.firstSector + e.extent.sectors;
        });
        if (open == m_extents.end()) {
            return false;
        }
        const CueExtent& extent = open->extent;
        const int run = std::min(count, extent.firstSector + extent.sectors - sector);
        const std::size_t bytes = std::size_t(run) * kBytesPerFrame;
        if (extent.path.empty()) {
            std::memset(to, 0, bytes);
        } else {
            if (!open->file) {
                open->file = std::fopen(extent.path.c_str(), "rb");
            }
            const std::uint64_t at =
                extent.byteOffset + std::uint64_t(sector - extent.firstSector) * kBytesPerFrame;
            if (!open->file || fseeko(open->file, off_t(at), SEEK_SET) != 0 ||
                std::fread(to, 1, bytes, open->file) != bytes) {
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
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    if (extension == ".cue") {
        return CueFilesDrive::open(path);
    }
    if (extension == ".toc") {
        return openTocFile(path);
    }
    if (extension == ".nrg") {
        return OpenCdioImage(path, path, ImageFormat::Nrg);
    }
    if (extension == ".bin") {
        return OpenCdioImage(path, path, ImageFormat::BinCue);
    }
    return OpenCdioImage(path, path, ImageFormat::Any);
}

}  // namespace sonarch
