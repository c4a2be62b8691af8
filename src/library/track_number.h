#pragma once

#include <string>

namespace sonarch {

// A track number as the library stores it: at least two digits, "07", "12".
std::string FormatTrackNumber(int track);

}  // namespace sonarch
