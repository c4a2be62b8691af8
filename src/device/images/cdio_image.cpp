#include "device/images/cdio_image.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <mutex>
#include <sstream>
#include <vector>

#include "base/number_text.h"
#include "device/drives/image_drive.h"
#include "device/images/cd_text.h"
#include "device/images/cdio_toc.h"
#include "device/images/isolated_call.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

// libcdio reports harmless oddities of images (a short pregap, for one) on stderr; the
// player reports what matters itself.
void quietLibcdio() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char*) {}); });
}

bool isImageDriver(driver_id_t driver) {
    return driver == DRIVER_BINCUE || driver == DRIVER_CDRDAO || driver == DRIVER_NRG;
}

CdIo_t* openAs(const std::string& path, ImageFormat format) {
    switch (format) {
        case ImageFormat::BinCue:
            return path.size() > 4 && path.compare(path.size() - 4, 4, ".cue") == 0
                       ? cdio_open_cue(path.c_str())
                       : cdio_open_bincue(path.c_str());
        case ImageFormat::Cdrdao:
            return cdio_open_cdrdao(path.c_str());
        case ImageFormat::Nrg:
            return cdio_open_nrg(path.c_str());
        case ImageFormat::Any:
            break;
    }
    CdIo_t* cdio = cdio_open(path.c_str(), DRIVER_UNKNOWN);
    if (cdio && !isImageDriver(cdio_get_driver_id(cdio))) {
        cdio_destroy(cdio);
        cdio = nullptr;
    }
    return cdio;
}

// child process: everything the player will ask of the image at opening, once.
std::string readInChild(const std::string& path, ImageFormat format) {
    quietLibcdio();
    CdIo_t* cdio = openAs(path, format);
    if (!cdio) {
        return "none\n";
    }
    const DiscToc toc = CdioTableOfContents(cdio);
    std::ostringstream answer;
    answer << "driver " << int(cdio_get_driver_id(cdio)) << "\n";
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    for (const TocTrack& track : toc.tracks) {
        answer << "track " << track.number << " " << track.startSector << " " << track.audio
               << "\n";
        if (track.audio) {
            cdio_read_audio_sectors(cdio, sector.data(), track.startSector, 1);
        }
    }
    answer << "leadout " << toc.leadoutSector << "\n";
    ReadCdText(cdio);  // read here first, as the drive reads it again when opened
    cdio_destroy(cdio);
    return answer.str();
}

// The child's answer, read strictly: anything unexpected counts as a damaged image.
ImageProbe probeFromAnswer(const std::string& answer) {
    ImageProbe probe;
    probe.outcome = ImageProbe::Outcome::Damaged;
    if (answer == "none\n") {
        probe.outcome = ImageProbe::Outcome::NotAnImage;
        return probe;
    }
    std::istringstream lines(answer);
    std::string line;
    bool haveDriver = false, haveLeadout = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword, a, b, c, extra;
        words >> keyword >> a >> b >> c >> extra;
        const auto n1 = parseInteger(a), n2 = parseInteger(b), n3 = parseInteger(c);
        const auto int32 = [](std::optional<std::int64_t> v) {
            return v && *v >= INT32_MIN && *v <= INT32_MAX;
        };
        if (!extra.empty()) {
            return probe;
        }
        if (keyword == "driver" && int32(n1) && b.empty()) {
            probe.driver = int(*n1);
            haveDriver = true;
        } else if (keyword == "track" && int32(n1) && int32(n2) && n3 && (*n3 == 0 || *n3 == 1)) {
            probe.toc.tracks.push_back({int(*n1), std::int32_t(*n2), *n3 == 1});
        } else if (keyword == "leadout" && int32(n1) && b.empty()) {
            probe.toc.leadoutSector = std::int32_t(*n1);
            haveLeadout = true;
        } else {
            return probe;
        }
    }
    if (haveDriver && haveLeadout) {
        probe.outcome = ImageProbe::Outcome::Read;
    }
    return probe;
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

}  // namespace

ImageProbe ProbeImage(const std::string& path, ImageFormat format,
                      std::chrono::milliseconds limit) {
    const IsolatedCall call =
        CallInChildProcess([&path, format] { return readInChild(path, format); }, limit);
    switch (call.end) {
        case IsolatedCall::End::Returned:
            return probeFromAnswer(call.answer);
        case IsolatedCall::End::Died:
        case IsolatedCall::End::TimedOut: {
            ImageProbe damaged;
            damaged.outcome = ImageProbe::Outcome::Damaged;
            return damaged;
        }
        case IsolatedCall::End::NotStarted:
            break;
    }
    ImageProbe unchecked;
    unchecked.why = call.why;
    return unchecked;
}

Result<std::unique_ptr<Drive>> OpenCdioImage(const std::string& path, const std::string& shownPath,
                                             ImageFormat format) {
    using R = Result<std::unique_ptr<Drive>>;
    const ImageProbe probe = ProbeImage(path, format);
    switch (probe.outcome) {
        case ImageProbe::Outcome::NotAnImage:
            return R::failure("'" + shownPath +
                              "' is not a disc image this player can read (CUE/BIN, cdrdao "
                              "TOC or NRG).");
        case ImageProbe::Outcome::Damaged:
            return R::failure("'" + shownPath +
                              "' is a damaged disc image: its table of contents cannot be read.");
        case ImageProbe::Outcome::Unchecked:
            return R::failure("'" + shownPath +
                              "' was not opened: it could not be checked first (" + probe.why +
                              ").");
        case ImageProbe::Outcome::Read:
            break;
    }
    if (!TocLaysOutADisc(probe.toc)) {
        // libcdio reads a TOC file naming one file per track with every track at sector 0.
        return R::failure("The tracks of '" + shownPath +
                          "' could not be laid out on a disc (a TOC file must keep all tracks "
                          "in one file).");
    }
    quietLibcdio();
    CdIo_t* cdio = openAs(path, format);
    if (!cdio || int(cdio_get_driver_id(cdio)) != probe.driver ||
        CdioTableOfContents(cdio) != probe.toc) {
        // The file changed between the two readings.
        if (cdio) {
            cdio_destroy(cdio);
        }
        return R::failure("'" + shownPath + "' changed while it was being opened; try again.");
    }
    return R::success(std::make_unique<CdioImageDrive>(probe.toc, cdio));
}

}  // namespace sonarch
