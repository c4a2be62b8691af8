#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"
#include "device/images/cue_sheet.h"

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

// Opens a disc image with the player's own readers: a CUE sheet (see LayOutCueSheet), a
// BIN file through the sheet named like it, a cdrdao TOC file (LayOutTocFile) or a Nero
// image (LayOutNrgImage). Failures name the kind of file and say in plain words what is
// wrong with it.
Result<std::unique_ptr<Drive>> openImage(const std::string& path);

// A disc whose sectors are pieces of files of raw 2352-byte sectors (or of the sound of WAV
// files), or silence: a CUE sheet's disc, or one a TOC file or a Nero image lays out.
class CueFilesDrive : public ImageDrive {
public:
    static Result<std::unique_ptr<Drive>> open(const std::string& cuePath);
    // `pieces` lie end to end from sector 0 to the leadout.
    static std::unique_ptr<Drive> fromPieces(DiscToc toc, std::vector<CueExtent> pieces,
                                             DiscText text);
    ~CueFilesDrive() override;

protected:
    bool readSectors(std::int32_t sector, int count, std::span<std::uint8_t> out) override;

private:
    struct OpenExtent {
        CueExtent extent;
        std::FILE* file = nullptr;  // opened on first read
    };
    CueFilesDrive(DiscToc toc, std::vector<OpenExtent> extents);

    std::mutex m_mutex;
    std::vector<OpenExtent> m_extents;
};

}  // namespace sonarch
