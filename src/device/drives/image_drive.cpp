#include "device/drives/image_drive.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "device/images/cd_text.h"
#include "device/images/cd_text_packs.h"
#include "device/images/image_files.h"
#include "device/images/nrg_image.h"
#include "device/images/toc_file.h"

namespace sonarch {

namespace {

using DriveResult = Result<std::unique_ptr<Drive>>;

// A sheet or TOC file is a few kilobytes; reading stops here so that a huge file given in
// its place cannot exhaust memory.
constexpr std::size_t kMaxSheetBytes = 1024 * 1024;

// A sheet's CD-TEXT: its TITLE and PERFORMER lines, over those of the CDTEXTFILE it may
// name. A CDTEXTFILE that cannot be read costs the disc only the texts it held.
DiscText cueSheetText(const std::string& sheet, const std::string& cuePath) {
    const CueSheetTextFile packFile = CueSheetCdTextFile(sheet);
    std::vector<std::uint8_t> packs;
    if (!packFile.name.empty()) {
        const auto path = std::filesystem::path(cuePath).parent_path() / packFile.name;
        const Result<std::string> bytes =
            ReadSmallFile(path.string(), "CD-TEXT file", kMostCdTextBytes + 4);
        if (bytes.ok()) {
            packs.assign(bytes.value().begin(), bytes.value().end());
        }
    }
    return CueSheetText(sheet, ReadCdTextPacks(packs, packFile.lastTrack));
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

DriveResult openTocFile(const std::string& path) {
    const Result<std::string> text = ReadSmallFile(path, "TOC file", kMaxSheetBytes);
    if (!text.ok()) {
        return DriveResult::failure(text.error());
    }
    Result<TocLayout> layout = LayOutTocFile(text.value(), path, LookUpDataFile);
    if (!layout.ok()) {
        return DriveResult::failure(layout.error());
    }
    TocLayout& disc = layout.value();
    return DriveResult::success(CueFilesDrive::fromPieces(
        std::move(disc.toc), std::move(disc.extents), std::move(disc.text)));
}

// A Nero image. `otherwise`: a file not named as one, refused as no image at all unless
// its end shows it is one.
DriveResult openNrgImage(const std::string& path, const std::string* otherwise) {
    const Result<FileTail> tail = ReadFileTail(path, "Nero image", kNrgTailBytes);
    if (!tail.ok()) {
        return DriveResult::failure(tail.error());
    }
    if (otherwise && !HasNrgTrailer(tail.value())) {
        return DriveResult::failure("'" + path +
                                    "' is not a disc image this player can read (CUE/BIN, "
                                    "cdrdao TOC or NRG).");
    }
    Result<NrgLayout> layout = LayOutNrgImage(tail.value(), path);
    if (!layout.ok()) {
        return DriveResult::failure(layout.error());
    }
    NrgLayout& disc = layout.value();
    DiscText text = ReadCdTextPacks(disc.cdTextPacks, disc.toc.lastTrack());
    return DriveResult::success(
        CueFilesDrive::fromPieces(std::move(disc.toc), std::move(disc.extents), std::move(text)));
}

// A BIN file is played through the CUE sheet named like it, which lists its tracks.
DriveResult openBinFile(const std::string& path) {
    std::filesystem::path sheet(path);
    for (const char* extension : {".cue", ".CUE"}) {
        sheet.replace_extension(extension);
        std::error_code error;
        if (std::filesystem::is_regular_file(sheet, error)) {
            return CueFilesDrive::open(sheet.string());
        }
    }
    sheet.replace_extension(".cue");
    return DriveResult::failure("'" + path +
                                "' is a BIN file of raw sectors without its CUE sheet: the "
                                "player needs '" +
                                sheet.filename().string() + "' beside it to know its tracks.");
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
    const Result<std::string> text = ReadSmallFile(cuePath, "CUE sheet", kMaxSheetBytes);
    if (!text.ok()) {
        return DriveResult::failure(text.error());
    }
    Result<CueLayout> layout = LayOutCueSheet(text.value(), cuePath, LookUpDataFile);
    if (!layout.ok()) {
        return DriveResult::failure(layout.error());
    }
    return DriveResult::success(fromPieces(std::move(layout.value().toc),
                                           std::move(layout.value().extents),
                                           cueSheetText(text.value(), cuePath)));
}

std::unique_ptr<Drive> CueFilesDrive::fromPieces(DiscToc toc, std::vector<CueExtent> pieces,
                                                 DiscText text) {
    std::vector<OpenExtent> extents;
    for (CueExtent& extent : pieces) {
        extents.push_back({std::move(extent), nullptr});
    }
    std::unique_ptr<CueFilesDrive> drive(new CueFilesDrive(std::move(toc), std::move(extents)));
    drive->setDiscText(std::move(text));
    return drive;
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
    if (extension == ".bin") {
        return openBinFile(path);
    }
    if (extension == ".nrg") {
        return openNrgImage(path, nullptr);
    }
    // A Nero image is known by its end, whatever its name.
    return openNrgImage(path, &path);
}

}  // namespace sonarch
