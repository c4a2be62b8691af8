#pragma once

// What libcdio makes of a disc image: the reference for the layouts of the player's own
// image readers, since the keys libraries hold were once computed from libcdio's reading.
// libcdio can crash or hang on a bad image, so it reads in a child process.

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <sstream>
#include <string>

#include "base/number_text.h"
#include "device/drives/drive.h"
#include "device/images/cd_text.h"
#include "device/images/cdio_toc.h"
#include "device/images/disc_text.h"
#include "device/images/isolated_call.h"

namespace sonarch::testing {

enum class LibcdioImage { Cue, Toc, Nrg };

struct LibcdioReading {
    bool read = false;  // libcdio opened the image and its child came back
    DiscToc toc;
    DiscText text;
};

inline LibcdioReading ReadWithLibcdio(const std::string& path, LibcdioImage kind) {
    const auto inChild = [&]() -> std::string {
        cdio_log_set_handler([](cdio_log_level_t, const char*) {});
        CdIo_t* cdio = kind == LibcdioImage::Cue   ? cdio_open_cue(path.c_str())
                       : kind == LibcdioImage::Toc ? cdio_open_cdrdao(path.c_str())
                                                   : cdio_open_nrg(path.c_str());
        if (!cdio) {
            return "none";
        }
        std::ostringstream out;
        const DiscToc toc = CdioTableOfContents(cdio);
        for (const TocTrack& track : toc.tracks) {
            out << "track\t" << track.number << "\t" << track.startSector << "\t" << track.audio
                << "\n";
        }
        out << "leadout\t" << toc.leadoutSector << "\n";
        const DiscText text = ReadCdText(cdio);
        out << "text\t" << text.title << "\t" << text.performer << "\n";
        for (const TrackText& track : text.tracks) {
            out << "text\t" << track.title << "\t" << track.performer << "\n";
        }
        cdio_destroy(cdio);
        return out.str();
    };
    LibcdioReading reading;
    const IsolatedCall call = CallInChildProcess(inChild, std::chrono::seconds(60));
    if (call.end != IsolatedCall::End::Returned || call.answer == "none") {
        return reading;
    }
    std::istringstream lines(call.answer);
    std::string line;
    bool discText = true;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (fields[0] == "track") {
            reading.toc.tracks.push_back({int(*parseInteger(fields[1])),
                                          std::int32_t(*parseInteger(fields[2])),
                                          fields[3] == "1"});
        } else if (fields[0] == "leadout") {
            reading.toc.leadoutSector = std::int32_t(*parseInteger(fields[1]));
        } else if (fields[0] == "text") {
            const TrackText one{fields.size() > 1 ? fields[1] : "",
                                fields.size() > 2 ? fields[2] : ""};
            if (discText) {
                reading.text.title = one.title;
                reading.text.performer = one.performer;
                discText = false;
            } else {
                reading.text.tracks.push_back(one);
            }
        }
    }
    reading.read = true;
    return reading;
}

}  // namespace sonarch::testing
