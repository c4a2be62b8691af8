// The time texts: any text converts without a crash, any float formats, and every whole
// number of seconds a disc can hold reads back from its text.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/time_text.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const float seconds = TextToSeconds(text);
    FUZZ_CHECK(!std::isnan(seconds));
    if (size >= 4) {
        float value = 0;
        std::memcpy(&value, data, 4);
        const std::string formatted = SecondsToText(value);
        // Only what is no number of seconds at all, or beyond any clock, gives no text.
        FUZZ_CHECK(formatted.empty() == (!std::isfinite(value) || std::fabs(value) > 1e15f));
        std::uint32_t whole = 0;
        std::memcpy(&whole, data, 4);
        whole %= 100 * 60 * 60;  // up to 100 hours
        FUZZ_CHECK(TextToSeconds(SecondsToText(float(whole))) == float(whole));
    }
    return 0;
}
