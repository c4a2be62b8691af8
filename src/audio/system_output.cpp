#include "audio/system_output.h"

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <vector>

#include "audio/pcm_volume.h"

namespace sonarch {

namespace {

using namespace std::chrono_literals;

// What the playback thread may write ahead of what has been heard, the server's share
// included: it tops this up when half of it has been heard.
constexpr std::int64_t kAheadFrames = kSampleRate;
// What the server holds of the stream (its target length) and the least it asks for at a
// time; the sink's own latency is what the server makes of the rest (here 50 ms). A volume
// change is heard after what the server holds, so that stays short; each request wakes
// this process twice (the request, and the server giving back the memory of the last), so
// requests are few.
constexpr auto kServerBuffer = 350ms;
constexpr auto kServerRequest = 150ms;
// After a flush or a pause, the server starts again once it has this much.
constexpr auto kServerStart = 50ms;
// How often, at most, the server is asked how far it has played while the sound flows;
// in between, what has been heard is carried forward on the steady clock, but never
// further than the longest carry past the last report, should the server stall.
constexpr auto kReportEvery = 500ms;
constexpr auto kLongestCarry = 1000ms;
// Connecting at start-up gives up after this; a server that takes longer is not there.
constexpr auto kOpenTimeout = 5s;
// Connecting again after the server went away: first after this, then twice as long each
// time, up to the longest.
constexpr auto kFirstRetry = 250ms;
constexpr auto kLongestRetry = 4s;

constexpr const char* kApplicationName = "Sonarch CD Player";
constexpr const char* kIconName = "sonarch-qvplayer";
// The stream's name in the desktop's mixer while no track is known.
constexpr const char* kNoTrackName = "Audio CD";

std::uint32_t bytesOf(std::chrono::milliseconds time) {
    return std::uint32_t(time.count() * kSampleRate / 1000 * kBytesPerSampleFrame);
}

std::int64_t framesOf(std::chrono::steady_clock::duration time) {
    return std::chrono::duration_cast<std::chrono::microseconds>(time).count() * kSampleRate /
           1'000'000;
}

// Holds the main loop's lock, as every call from outside its thread must.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

void forget(pa_operation* operation) {
    if (operation) {
        pa_operation_unref(operation);
    }
}

}  // namespace

SystemOutput::SystemOutput() : m_backoff(kFirstRetry), m_queue(kAheadFrames) {}

Result<std::unique_ptr<SystemOutput>> SystemOutput::open() {
    using R = Result<std::unique_ptr<SystemOutput>>;
    std::unique_ptr<SystemOutput> output(new SystemOutput);
    output->m_loop = pa_threaded_mainloop_new();
    if (!output->m_loop) {
        return R::failure("The sound output could not be started.");
    }
    pa_threaded_mainloop_set_name(output->m_loop, "sonarch-sound");
    if (pa_threaded_mainloop_start(output->m_loop) < 0) {
        pa_threaded_mainloop_free(output->m_loop);
        output->m_loop = nullptr;
        return R::failure("The sound output could not be started.");
    }
    std::string error;
    {
        LoopLock lock(output->m_loop);
        error = output->connectAtStart();
    }
    if (!error.empty()) {
        return R::failure(error);
    }
    return R::success(std::move(output));
}

SystemOutput::~SystemOutput() {
    if (!m_loop) {
        return;
    }
    {
        LoopLock lock(m_loop);
        m_troubleListener = {};
        m_wakeup = {};
        if (m_retry) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_retry);
            m_retry = nullptr;
        }
        dropLink();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

// ---- the connection -------------------------------------------------------------------

std::string SystemOutput::connectAtStart() {
    m_opening = true;
    bool timedOut = false;
    struct Waiter {
        pa_threaded_mainloop* loop;
        bool* timedOut;
    } waiter{m_loop, &timedOut};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    timeval until{};
    pa_gettimeofday(&until);
    pa_timeval_add(&until, pa_usec_t(std::chrono::microseconds(kOpenTimeout).count()));
    pa_time_event* timeout = api->time_new(
        api, &until,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* data) {
            auto* w = static_cast<Waiter*>(data);
            *w->timedOut = true;
            pa_threaded_mainloop_signal(w->loop, 0);
        },
        &waiter);
    connect(true);
    while (m_link == Link::Connecting && !timedOut) {
        pa_threaded_mainloop_wait(m_loop);
    }
    api->time_free(timeout);
    m_opening = false;
    if (m_link == Link::Ready) {
        return {};
    }
    const std::string why =
        m_context ? pa_strerror(pa_context_errno(m_context)) : std::string("no answer");
    dropLink();
    m_link = Link::Down;
    return "No sound server answers (is PulseAudio or PipeWire running?): " + why + ".";
}

void SystemOutput::connect(bool mayStartServer) {
    dropLink();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, kApplicationName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, kIconName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, SONARCH_APP_ID);
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), kApplicationName,
                                             properties);
    pa_proplist_free(properties);
    m_link = Link::Connecting;
    if (!m_context) {
        linkFailed();
        return;
    }
    pa_context_set_state_callback(m_context, &SystemOutput::onContextState, this);
    // A server that went away is started again by whoever runs it, never by us.
    const auto flags = mayStartServer ? PA_CONTEXT_NOFLAGS : PA_CONTEXT_NOAUTOSPAWN;
    if (pa_context_connect(m_context, nullptr, flags, nullptr) < 0) {
        linkFailed();
    }
}

void SystemOutput::onContextState(pa_context* context, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (context != self->m_context) {
        return;
    }
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            self->createStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->linkFailed();
            break;
        default:
            break;
    }
}

pa_proplist* SystemOutput::streamProperties() const {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, kApplicationName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, kIconName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, SONARCH_APP_ID);
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME,
                     m_title.empty() ? kNoTrackName : m_title.c_str());
    if (!m_title.empty()) {
        pa_proplist_sets(properties, PA_PROP_MEDIA_TITLE, m_title.c_str());
    }
    if (!m_artist.empty()) {
        pa_proplist_sets(properties, PA_PROP_MEDIA_ARTIST, m_artist.c_str());
    }
    return properties;
}

void SystemOutput::createStream() {
    const pa_sample_spec format{PA_SAMPLE_S16LE, std::uint32_t(kSampleRate), 2};
    pa_proplist* properties = streamProperties();
    m_stream = pa_stream_new_with_proplist(
        m_context, m_title.empty() ? kNoTrackName : m_title.c_str(), &format, nullptr, properties);
    pa_proplist_free(properties);
    if (!m_stream) {
        linkFailed();
        return;
    }
    pa_stream_set_state_callback(m_stream, &SystemOutput::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &SystemOutput::onWriteRequest, this);
    pa_stream_set_underflow_callback(m_stream, &SystemOutput::onUnderflow, this);
    pa_stream_set_started_callback(m_stream, &SystemOutput::onStarted, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = std::uint32_t(-1);
    attributes.tlength = bytesOf(kServerBuffer);
    attributes.prebuf = bytesOf(kServerStart);
    attributes.minreq = bytesOf(kServerRequest);
    attributes.fragsize = std::uint32_t(-1);
    if (pa_stream_connect_playback(m_stream, nullptr, &attributes, PA_STREAM_START_CORKED, nullptr,
                                   nullptr) < 0) {
        linkFailed();
    }
}

void SystemOutput::onStreamState(pa_stream* stream, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (stream != self->m_stream) {
        return;
    }
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            self->streamReady();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            self->linkFailed();
            break;
        default:
            break;
    }
}

void SystemOutput::streamReady() {
    m_link = Link::Ready;
    m_backoff = kFirstRetry;
    // A new stream holds nothing: it begins where the sound stopped.
    m_segmentStart = m_fed;
    ++m_segment;
    m_triggered = false;
    m_dry = false;
    feed();
    if (m_running) {
        cork(false);
        triggerAtEnd();
        requestTiming();
    }
    if (m_troubleShown) {
        reportTrouble(SoundTrouble::None);
    }
    if (m_wakeup) {
        m_wakeup();
    }
    pa_threaded_mainloop_signal(m_loop, 0);
}

void SystemOutput::linkFailed() {
    if (m_link == Link::Down && !m_context) {
        return;
    }
    const SteadyTime now = std::chrono::steady_clock::now();
    freezeHeard(now);
    if (m_opening) {
        // open() reads the context's error before it lets go of it.
        m_link = Link::Down;
        pa_threaded_mainloop_signal(m_loop, 0);
        return;
    }
    dropLink();
    m_link = Link::Down;
    // What the server held and had not played is played again on the next server.
    m_fed = m_heard;
    m_segmentStart = m_heard;
    ++m_segment;
    if (m_running) {
        if (!m_troubleShown) {
            reportTrouble(SoundTrouble::ServerGone);
        }
        scheduleRetry();
    }
}

void SystemOutput::dropLink() {
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_set_started_callback(m_stream, nullptr, nullptr);
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY) {
            pa_stream_disconnect(m_stream);
        }
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    m_timingPending = false;
}

void SystemOutput::scheduleRetry() {
    if (m_retry) {
        return;
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(std::chrono::microseconds(m_backoff).count()));
    m_retry = api->time_new(
        api, &when,
        [](pa_mainloop_api* a, pa_time_event* event, const timeval*, void* data) {
            auto* self = static_cast<SystemOutput*>(data);
            a->time_free(event);
            self->m_retry = nullptr;
            if (self->m_running && self->m_link == Link::Down) {
                self->connect(false);
            }
        },
        this);
    m_backoff = std::min<std::chrono::milliseconds>(m_backoff * 2, kLongestRetry);
}

void SystemOutput::retryNow() {
    if (m_retry) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_retry);
        m_retry = nullptr;
    }
    connect(false);
}

void SystemOutput::reportTrouble(SoundTrouble trouble) {
    m_troubleShown = trouble != SoundTrouble::None;
    if (m_troubleListener) {
        m_troubleListener(trouble);
    }
}

// ---- the sound ------------------------------------------------------------------------

void SystemOutput::feed() {
    if (m_link != Link::Ready) {
        return;
    }
    const std::size_t writable = pa_stream_writable_size(m_stream);
    if (writable == std::size_t(-1)) {
        return;
    }
    std::int64_t wanted =
        std::min<std::int64_t>(std::int64_t(writable / kBytesPerSampleFrame), m_written - m_fed);
    const std::int32_t level = m_volume.load();
    while (wanted > 0) {
        void* data = nullptr;
        std::size_t bytes = std::size_t(wanted) * kBytesPerSampleFrame;
        if (pa_stream_begin_write(m_stream, &data, &bytes) < 0 || !data) {
            return;
        }
        const std::int64_t frames =
            std::min<std::int64_t>(std::int64_t(bytes / kBytesPerSampleFrame), wanted);
        if (frames == 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(data),
                                          std::size_t(frames) * kBytesPerSampleFrame);
        m_queue.copy(m_fed, out);
        ApplyVolume(out, level, out.data());
        if (pa_stream_write(m_stream, data, out.size(), nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            return;
        }
        m_fed += frames;
        wanted -= frames;
        m_dry = false;
    }
    triggerAtEnd();
}

void SystemOutput::triggerAtEnd() {
    // The server waits for a little sound before it starts: the end of the stream, or of
    // a short one, is played without waiting for more.
    if (m_link == Link::Ready && m_running && !m_triggered && m_fed >= m_limit &&
        m_fed > m_segmentStart) {
        forget(pa_stream_trigger(m_stream, nullptr, nullptr));
        m_triggered = true;
    }
}

void SystemOutput::cork(bool corked) {
    forget(pa_stream_cork(m_stream, corked ? 1 : 0, nullptr, nullptr));
}

void SystemOutput::onWriteRequest(pa_stream* stream, std::size_t, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (stream != self->m_stream) {
        return;
    }
    self->feed();
    const SteadyTime now = std::chrono::steady_clock::now();
    if (!self->m_flowing || now - self->m_reportedAt >= kReportEvery) {
        self->requestTiming();
    }
    if (self->m_wakeup && self->roomLocked(now) >= kAheadFrames / 2) {
        self->m_wakeup();
    }
}

void SystemOutput::onUnderflow(pa_stream* stream, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (stream != self->m_stream) {
        return;
    }
    // The server ran dry before the stream's end: the sound was interrupted.
    if (self->m_running && !self->m_dry && self->m_fed > self->m_segmentStart &&
        self->m_fed < self->m_limit) {
        self->m_dry = true;
        ++self->m_underruns;
    }
}

void SystemOutput::onStarted(pa_stream* stream, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (stream == self->m_stream) {
        self->requestTiming();
    }
}

// ---- what has been heard --------------------------------------------------------------

void SystemOutput::requestTiming() {
    if (m_link != Link::Ready || m_timingPending) {
        return;
    }
    pa_operation* operation = pa_stream_update_timing_info(m_stream, &SystemOutput::onTiming, this);
    if (operation) {
        m_timingPending = true;
        m_timingSegment = m_segment;
        pa_operation_unref(operation);
    }
}

void SystemOutput::onTiming(pa_stream* stream, int success, void* data) {
    auto* self = static_cast<SystemOutput*>(data);
    if (stream != self->m_stream) {
        return;
    }
    self->m_timingPending = false;
    if (!success) {
        return;
    }
    if (self->m_timingSegment != self->m_segment) {
        // Asked before a flush: it speaks of frames that are gone.
        self->requestTiming();
        return;
    }
    self->takeTiming();
}

void SystemOutput::takeTiming() {
    const pa_timing_info* info = pa_stream_get_timing_info(m_stream);
    if (!info || info->write_index_corrupt || info->read_index_corrupt) {
        return;
    }
    const SteadyTime now = std::chrono::steady_clock::now();
    // Of what was fed since the stream was made or flushed, the server still holds what it
    // has not read, and the sink what it read and has not yet played.
    const std::int64_t held =
        std::max<std::int64_t>((info->write_index - info->read_index) / kBytesPerSampleFrame, 0);
    const bool playing = info->playing != 0 && m_running;
    const std::int64_t inSink =
        playing ? std::int64_t(info->sink_usec) * kSampleRate / 1'000'000 : 0;
    const std::int64_t fed = m_fed - m_segmentStart;
    m_reported = m_segmentStart + std::clamp<std::int64_t>(fed - held - inSink, 0, fed);
    m_reportedAt = now;
    m_flowing = playing;
    heardLocked(now);
}

std::int64_t SystemOutput::heardLocked(SteadyTime now) {
    std::int64_t heard = m_reported;
    if (m_flowing) {
        heard += framesOf(
            std::clamp<std::chrono::steady_clock::duration>(now - m_reportedAt, {}, kLongestCarry));
    }
    heard = std::min(heard, m_fed);
    m_heard = std::max(m_heard, heard);
    // What has been heard need not be kept for a server that takes over.
    m_queue.dropBefore(std::min(m_heard, m_fed));
    return m_heard;
}

void SystemOutput::freezeHeard(SteadyTime now) {
    m_reported = heardLocked(now);
    m_reportedAt = now;
    m_flowing = false;
}

std::int64_t SystemOutput::roomLocked(SteadyTime now) {
    // Counted against all that is ahead of the ear, in the queue and in the server alike,
    // the room grows steadily as the sound plays, not in steps at each request.
    const std::int64_t ahead = m_written - heardLocked(now);
    return std::clamp<std::int64_t>(kAheadFrames - ahead, 0, m_queue.room());
}

// ---- the device's side ----------------------------------------------------------------

std::size_t SystemOutput::write(std::span<const std::uint8_t> pcm) {
    LoopLock lock(m_loop);
    const std::int64_t frames = m_queue.push(pcm);
    m_written += frames;
    feed();
    return std::size_t(frames) * kBytesPerSampleFrame;
}

bool SystemOutput::idle() {
    LoopLock lock(m_loop);
    // Without a server nothing moves until it is back, and then the thread is told.
    return m_fed >= m_written || m_link != Link::Ready;
}

std::int64_t SystemOutput::room() {
    LoopLock lock(m_loop);
    return roomLocked(std::chrono::steady_clock::now());
}

std::int64_t SystemOutput::capacity() const {
    return kAheadFrames;
}

std::int64_t SystemOutput::underruns() const {
    return m_underruns.load();
}

std::int64_t SystemOutput::framesHeard() {
    LoopLock lock(m_loop);
    return heardLocked(std::chrono::steady_clock::now());
}

void SystemOutput::start(std::int64_t limit) {
    LoopLock lock(m_loop);
    m_limit = limit;
    if (!m_running) {
        // The count waits for the server's word that the sound flows again.
        freezeHeard(std::chrono::steady_clock::now());
        m_running = true;
        m_triggered = false;
        if (m_link == Link::Ready) {
            cork(false);
        }
    }
    if (m_link == Link::Ready) {
        feed();
        triggerAtEnd();
        requestTiming();
    } else if (m_link == Link::Down) {
        // Asked to play without a server: try it now rather than after the wait.
        retryNow();
    }
}

void SystemOutput::pause() {
    LoopLock lock(m_loop);
    freezeHeard(std::chrono::steady_clock::now());
    if (m_running && m_link == Link::Ready) {
        cork(true);
    }
    m_running = false;
}

void SystemOutput::discard() {
    LoopLock lock(m_loop);
    freezeHeard(std::chrono::steady_clock::now());
    m_queue.truncate(m_heard);
    m_written = m_fed = m_heard;
    m_segmentStart = m_heard;
    ++m_segment;
    m_triggered = false;
    m_dry = false;
    if (m_link == Link::Ready) {
        forget(pa_stream_flush(m_stream, nullptr, nullptr));
    }
}

bool SystemOutput::setVolume(std::int32_t level) {
    if (level < 0 || level > kFullVolume) {
        return false;
    }
    m_volume = level;
    return true;
}

std::int32_t SystemOutput::volume() const {
    return m_volume.load();
}

void SystemOutput::setWakeup(std::function<void()> wakeup) {
    // Every call of the wakeup holds the lock too: once this returns, the old one is done.
    LoopLock lock(m_loop);
    m_wakeup = std::move(wakeup);
}

// ---- what the desktop is told -----------------------------------------------------------

void SystemOutput::describeTrack(const std::string& title, const std::string& artist) {
    LoopLock lock(m_loop);
    if (title == m_title && artist == m_artist) {
        return;
    }
    m_title = title;
    m_artist = artist;
    updateDescription();
}

void SystemOutput::updateDescription() {
    if (m_link != Link::Ready) {
        return;  // the next stream is made with it
    }
    pa_proplist* properties = streamProperties();
    forget(pa_stream_proplist_update(m_stream, PA_UPDATE_REPLACE, properties, nullptr, nullptr));
    pa_proplist_free(properties);
    std::vector<const char*> gone;
    if (m_title.empty()) {
        gone.push_back(PA_PROP_MEDIA_TITLE);
    }
    if (m_artist.empty()) {
        gone.push_back(PA_PROP_MEDIA_ARTIST);
    }
    if (!gone.empty()) {
        gone.push_back(nullptr);
        forget(pa_stream_proplist_remove(m_stream, gone.data(), nullptr, nullptr));
    }
}

void SystemOutput::setTroubleListener(std::function<void(SoundTrouble)> listener) {
    LoopLock lock(m_loop);
    m_troubleListener = std::move(listener);
}

}  // namespace sonarch
