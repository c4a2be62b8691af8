#include "device/mci/disc_key.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace sonarch {

namespace {

constexpr const char* kNoDisc = "The disc's table of contents could not be read.";

// mm:ss:ff at the reply's fixed positions, as a frame count.
std::optional<std::int64_t> framesAt(const ReplyBuffer& reply) {
    const auto minutes = reply.number(1, 2);
    const auto seconds = reply.number(4, 2);
    const auto frames = reply.number(7, 2);
    if (!minutes || !seconds || !frames) {
        return std::nullopt;
    }
    return std::int64_t{*minutes} * 4500 + std::int64_t{*seconds} * 75 + *frames;
}

bool fitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

Result<std::string> ComputeDiscKey(DeviceLayer& device, const std::function<void()>& letEventsRun) {
    ReplyBuffer reply(255);
    if (letEventsRun) {
        letEventsRun();
    }
    device.DeviceQuery("close all");
    device.DeviceQuery("open cdaudio alias cd wait shareable");
    // The device refuses the frames format and stays in msf, in which the replies below
    // are read.
    device.DeviceQuery("set cd time format frames");
    if (device.DeviceQuery("status cd number of tracks", reply) != 0) {
        return Result<std::string>::failure(kNoDisc);
    }
    const auto trackCount = reply.number(1, 2);
    if (!trackCount) {
        return Result<std::string>::failure(kNoDisc);
    }
    if (letEventsRun) {
        letEventsRun();
    }
    if (device.DeviceQuery("status cd length wait", reply) != 0) {
        return Result<std::string>::failure(kNoDisc);
    }
    const auto length = framesAt(reply);
    if (!length) {
        return Result<std::string>::failure(kNoDisc);
    }
    std::string key;
    std::int64_t firstStart = 0;
    for (int i = 1; i <= *trackCount; ++i) {
        if (device.DeviceQuery("status cd position track " + std::to_string(i), reply) != 0) {
            return Result<std::string>::failure(kNoDisc);
        }
        const auto start = framesAt(reply);
        if (!start) {
            return Result<std::string>::failure(kNoDisc);
        }
        if (i == 1) {
            firstStart = *start;
        }
        key += " " + std::to_string(*start);
    }
    const std::int64_t closing = firstStart + *length + 1;
    if (!fitsInt32(closing)) {
        return Result<std::string>::failure("The disc's length is out of range.");
    }
    key += " " + std::to_string(closing);
    device.DeviceQuery("set cd time format tmsf");
    return Result<std::string>::success(key.substr(1));
}

}  // namespace sonarch
