#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "base/result.h"
#include "device/drives/drive.h"

namespace sonarch {

// The kinds of disc image libcdio reads for the player.
enum class ImageFormat {
    BinCue,  // a BIN file with its CUE sheet beside it
    Cdrdao,  // a cdrdao TOC file
    Nrg,     // a Nero image
    Any,     // whichever of the three libcdio recognises
};

// What libcdio made of an image, read in a child process of its own.
struct ImageProbe {
    enum class Outcome {
        Read,        // the image opened and its table of contents came back
        NotAnImage,  // libcdio does not take the file for an image of this kind
        Damaged,     // reading it crashed, aborted or hung the reader
        Unchecked,   // no child process could be started (see `why`)
    };
    Outcome outcome = Outcome::Unchecked;
    int driver = 0;   // libcdio's driver_id_t of the image, when Read
    DiscToc toc;      // as libcdio reads it, when Read (not yet checked for sense)
    std::string why;  // when Unchecked
};

/*
 * libcdio can crash, abort or corrupt its memory on a damaged image (a cdrdao TOC with a
 * MODE2 data track divides by zero; damaged NRG files read and free wild memory), so an image
 * is first opened, its table of contents read and one sector of every track read in a child
 * process, and only an image that came back cleanly is opened by the player. Whatever else is
 * read from an image at opening belongs in the probe too, so that it is read in the same child.
 */
ImageProbe ProbeImage(const std::string& path, ImageFormat format,
                      std::chrono::milliseconds limit = std::chrono::seconds(20));

// Probes the image at `path` and opens it when it came back cleanly. Messages name the image
// by `shownPath` (the file the user gave, when `path` is a copy made for libcdio).
Result<std::unique_ptr<Drive>> OpenCdioImage(const std::string& path, const std::string& shownPath,
                                             ImageFormat format);

}  // namespace sonarch
