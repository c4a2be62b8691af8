#pragma once

#include "base/utf8.h"

#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

// One line of a track sheet: "title<TAB>artist[<TAB>rating[<TAB>track comment]]".
struct SheetTrack {
    std::string title;
    std::string artist;
    int rating = 0;
    std::string comment;
};

// Reads a track sheet, one line per track in disc order. Blank lines are skipped; a line
// with a wrong number of fields, a rating outside 0..10 or text that is not UTF-8 is an
// error naming the line.
Result<std::vector<SheetTrack>> ParseTrackSheet(const std::string& text);

}  // namespace sonarch
