#include "audio/audio_output_factory.h"

#include "audio/paced_output.h"
#include "audio/system_output.h"
#include "audio/wav_output.h"

namespace sonarch {

namespace {

// Nothing hears the null output, so nothing is late when it takes more at a time: with a
// clock that runs by itself it keeps two seconds ahead and the playback thread wakes once
// a second, not four times. Moved by hand, it keeps the usual half second.
std::unique_ptr<NullOutput> makeNullOutput(Clock& clock) {
    return clock.jumps() ? std::make_unique<NullOutput>(clock)
                         : std::make_unique<NullOutput>(clock, 2 * kSampleRate);
}

}  // namespace

Result<AudioChoice> openAudioOutput(const std::string& name, Clock& clock) {
    using R = Result<AudioChoice>;
    AudioChoice choice;
    auto standIn = [&](std::string error) {
        choice.output = makeNullOutput(clock);
        choice.opened = false;
        choice.error = std::move(error);
        return R::success(std::move(choice));
    };
    if (name == "null") {
        choice.output = makeNullOutput(clock);
        choice.opened = true;
        return R::success(std::move(choice));
    }
    if (name == "system") {
        auto system = SystemOutput::open();
        if (!system.ok()) {
            return standIn(system.error());
        }
        choice.desktop = system.value().get();
        choice.output = std::move(system.value());
        choice.opened = true;
        return R::success(std::move(choice));
    }
    const std::string wavPrefix = "wav:";
    if (name.rfind(wavPrefix, 0) == 0 && name.size() > wavPrefix.size()) {
        auto wav = WavOutput::create(name.substr(wavPrefix.size()), clock);
        if (!wav.ok()) {
            return standIn(wav.error());
        }
        choice.output = std::move(wav.value());
        choice.opened = true;
        return R::success(std::move(choice));
    }
    return R::failure("Unknown audio output '" + name + "': use system, null or wav:FILE.");
}

}  // namespace sonarch
