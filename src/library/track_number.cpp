#include "library/track_number.h"

#include <cstdlib>

namespace sonarch {

std::string FormatTrackNumber(int track) {
    const long magnitude = std::labs(long{track});
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 2) {
        digits.insert(0, 2 - digits.size(), '0');
    }
    return track < 0 ? "-" + digits : digits;
}

}  // namespace sonarch
