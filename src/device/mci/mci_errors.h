#pragma once

#include <string>

namespace sonarch::mci {

// Error numbers follow the media control interface's own numbering, so that codes shown
// to users and seen in the device shell read the same as on other systems.
inline constexpr int kOk = 0;
inline constexpr int kUnrecognizedKeyword = 259;
inline constexpr int kUnrecognizedCommand = 261;
inline constexpr int kHardware = 262;
inline constexpr int kInvalidDeviceName = 263;
inline constexpr int kMissingCommandString = 267;
inline constexpr int kParamOverflow = 268;
inline constexpr int kBadInteger = 270;
inline constexpr int kDeviceNotReady = 276;
inline constexpr int kOutOfRange = 282;
inline constexpr int kDuplicateAlias = 289;
inline constexpr int kBadTimeFormat = 293;
inline constexpr int kMissingParameter = 317;

std::string errorText(int code);

}  // namespace sonarch::mci
