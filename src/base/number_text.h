#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sonarch {

// Reads a whole decimal number with an optional sign; nothing else may stand in the text.
std::optional<std::int64_t> parseInteger(std::string_view text);

}  // namespace sonarch
