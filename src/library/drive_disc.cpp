#include "library/drive_disc.h"

#include "base/messages.h"
#include "device/drives/drive_factory.h"
#include "device/engine/audio_output.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/device_layer.h"
#include "device/mci/disc_key.h"
#include "library/stored_text.h"

namespace sonarch {

namespace {

// The device wants somewhere to send sound; a disc that is only read plays nothing.
class NoSound : public AudioOutput {
public:
    std::size_t write(std::span<const std::uint8_t> pcm) override { return pcm.size(); }
    bool idle() override { return true; }
    std::int64_t room() override { return kSampleRate; }
    std::int64_t capacity() const override { return kSampleRate; }
    std::int64_t underruns() const override { return 0; }
    std::int64_t framesHeard() override { return 0; }
    void start(std::int64_t) override {}
    void pause() override {}
    void discard() override {}
    bool keepsHeard() const override { return false; }
    bool setVolume(std::int32_t) override { return true; }
    std::int32_t volume() const override { return kFullVolume; }
    void setWakeup(std::function<void()>) override {}
};

}  // namespace

Result<DriveDisc> ReadDriveDisc(const std::string& driveSpec, const std::function<void()>& waiting) {
    using R = Result<DriveDisc>;
    auto drive = openDrive(driveSpec);
    if (!drive.ok()) {
        return R::failure(drive.error());
    }
    // A physical drive looks at its disc on a thread of its own: wait for that look, and
    // while it spins a disc just put in up, for the disc.
    drive.value()->waitUntilSettled();
    if (drive.value()->becomingReady()) {
        if (waiting) {
            waiting();
        }
        if (!drive.value()->waitUntilReady(kDiscReadyPatience)) {
            return R::failure("drive '" + driveSpec + "': the disc did not get ready within " +
                              std::to_string(kDiscReadyPatience.count()) + " seconds.");
        }
    }
    NoSound silence;
    CdAudioDevice device(*drive.value(), silence);
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(device, messages, error);
    layer.DeviceQuery("open cdaudio alias cd wait shareable");
    layer.DeviceQuery("set cd time format tmsf");
    auto key = ComputeDiscKey(layer, {});
    const std::string where = "drive '" + driveSpec + "': ";
    if (!key.ok()) {
        return R::failure(where + key.error());
    }
    ReplyBuffer reply(255);
    if (layer.DeviceQuery("status cd number of tracks", reply) != 0) {
        return R::failure(where + "the number of tracks could not be read.");
    }
    const auto count = reply.number(1, 2);
    if (!count || *count < 1) {
        return R::failure(where + "the disc has no tracks.");
    }
    DriveDisc disc{StoredDiscKey(key.value()),
                   {},
                   drive.value()->readToc().value_or(DiscToc{}),
                   device.discText()};
    for (int track = 1; track <= *count; ++track) {
        if (layer.DeviceQuery("status cd length track " + std::to_string(track), reply) != 0) {
            return R::failure(where + "the length of track " + std::to_string(track) +
                              " could not be read.");
        }
        disc.trackTimes.push_back(reply.text().substr(0, 5));
    }
    layer.DeviceQuery("close all");
    return R::success(std::move(disc));
}

}  // namespace sonarch
