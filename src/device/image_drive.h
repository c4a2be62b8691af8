#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/drive.h"

namespace sonarch {

// A disc image as a drive. Its door is the player's own: opening it takes the disc out,
// closing it puts the same disc back (as a newly inserted disc). Reads go straight to the
// image's files.
class ImageDrive : public Drive {
public:
    bool mediaPresent() override;
    std::optional<DiscToc> readToc() override;
    std::uint64_t discGeneration() const override { return m_generation.load(); }
    bool openDoor() override;
    bool closeDoor() override;
    bool isDoorOpen() const override { return m_doorOpen.load(); }
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override;
    DiscText discText() override;

protected:
    explicit ImageDrive(DiscToc toc);
    // Once, before the drive is handed out.
    void setDiscText(DiscText text) { m_text = std::move(text); }
    // playback thread: reads sectors known to lie on the disc.
    virtual bool readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) = 0;

private:
    const DiscToc m_toc;
    DiscText m_text;
    std::atomic<bool> m_doorOpen{false};
    std::atomic<std::uint64_t> m_generation{1};
};

// Opens a CUE sheet, cdrdao TOC file or Nero NRG image with libcdio; a CUE sheet naming
// several files, which libcdio reads as one, is read by CueFilesDrive instead.
Result<std::unique_ptr<Drive>> openImage(const std::string& path);

// A CUE sheet whose tracks lie in several files of raw 2352-byte sectors ("BINARY"), the
// files following one another on the disc.
class CueFilesDrive : public ImageDrive {
public:
    static Result<std::unique_ptr<Drive>> open(const std::string& cuePath);
    ~CueFilesDrive() override;

protected:
    bool readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) override;

private:
    // A run of consecutive sectors on the disc, read from one file, or silence (a pregap
    // the sheet lays on the disc without a file) when `path` is empty.
    struct Extent {
        std::string path;
        std::uint64_t byteOffset = 0;  // where its first sector starts in the file
        std::int32_t firstSector = 0;  // on the disc
        std::int32_t sectors = 0;
        std::FILE* file = nullptr;  // opened on first read
    };
    CueFilesDrive(DiscToc toc, std::vector<Extent> extents);

    std::mutex m_mutex;
    std::vector<Extent> m_extents;
};

// How many FILE lines a CUE sheet has (0 when it cannot be read).
int countCueFiles(const std::string& cuePath);

}  // namespace sonarch
