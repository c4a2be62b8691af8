#pragma once

#include <string>
#include <vector>

#include "audio/paced_output.h"
#include "device/drives/virtual_drive.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/msf.h"

namespace sonarch::testing {

// Track lengths written mm:ss:ff, as on the command line.
inline std::vector<VirtualTrack> disc(std::initializer_list<const char*> lengths) {
    std::vector<VirtualTrack> tracks;
    for (const char* text : lengths) {
        std::string item = text;
        const bool data = item.rfind("data=", 0) == 0;
        tracks.push_back({*parseMsf(data ? item.substr(5) : item), !data});
    }
    return tracks;
}

// A virtual drive, a manual clock and the device over them, opened as the player opens it.
class DeviceFixture {
public:
    explicit DeviceFixture(std::vector<VirtualTrack> tracks) : drive(std::move(tracks)) {}

    MciResult send(const std::string& command, int replyLength = 256) {
        return device.send(command, replyLength);
    }
    std::string reply(const std::string& command) { return send(command).reply; }
    void openAsPlayer() {
        send("open cdaudio alias cd wait shareable", 0);
        send("set cd time format tmsf", 0);
    }

    ManualClock clock;
    VirtualDrive drive;
    CdAudioDevice device{drive, std::make_unique<NullOutput>(clock)};
};

}  // namespace sonarch::testing
