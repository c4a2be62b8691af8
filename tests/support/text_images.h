#pragma once

// Disc images whose sheets carry CD-TEXT, written by the tests themselves.

#include <string>
#include <vector>

#include "support/disc_images.h"

namespace sonarch::testing {

// A one-file image whose sheet has `textLines` before its tracks and `trackLines[i]` inside
// track i + 1, written byte for byte as given (libcdio reads such lines as Latin-1).
inline std::string writeCueWithText(const TempDir& dir, const std::vector<ImageTrack>& tracks,
                                    const std::string& textLines,
                                    const std::vector<std::string>& trackLines) {
    writeCueBin(dir, tracks, "texts");
    std::string cue = textLines + "FILE \"texts.bin\" BINARY\n";
    std::int32_t sector = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n", int(i + 1));
        cue += line;
        cue += i < trackLines.size() ? trackLines[i] : "";
        cue += "    INDEX 01 " + msf(sector) + "\n";
        sector += tracks[i].sectors;
    }
    writeText(dir.file("texts.cue"), cue);
    return dir.file("texts.cue");
}

// A cdrdao TOC image with a CD_TEXT block for the disc (`discTitle`, `discPerformer`)
// and one for each track that `trackTitles` names (an empty title: no block).
inline std::string writeTocWithText(const TempDir& dir, const std::vector<ImageTrack>& tracks,
                                    const std::string& discTitle, const std::string& discPerformer,
                                    const std::vector<std::string>& trackTitles) {
    writeToc(dir, tracks);
    std::string toc = "CD_DA\nCD_TEXT {\n  LANGUAGE_MAP { 0 : 9 }\n  LANGUAGE 0 {\n    TITLE \"" +
                      discTitle + "\"\n    PERFORMER \"" + discPerformer + "\"\n  }\n}\n";
    std::int32_t sector = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        toc += "TRACK AUDIO\n";
        if (i < trackTitles.size() && !trackTitles[i].empty()) {
            toc += "CD_TEXT {\n  LANGUAGE 0 {\n    TITLE \"" + trackTitles[i] + "\"\n  }\n}\n";
        }
        toc += "FILE \"image.bin\" " + msf(sector) + " " + msf(tracks[i].sectors) + "\n\n";
        sector += tracks[i].sectors;
    }
    writeText(dir.file("image.toc"), toc);
    return dir.file("image.toc");
}

}  // namespace sonarch::testing
