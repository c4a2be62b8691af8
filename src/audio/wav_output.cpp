#include "audio/wav_output.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace sonarch {

namespace {

constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xff);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

std::array<std::uint8_t, 44> header(std::uint32_t dataBytes) {
    std::array<std::uint8_t, 44> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);  // size of the format chunk
    put16(h.data() + 20, 1);   // PCM
    put16(h.data() + 22, 2);
    put32(h.data() + 24, kSampleRate);
    put32(h.data() + 28, kSampleRate * kBytesPerSampleFrame);
    put16(h.data() + 32, kBytesPerSampleFrame);
    put16(h.data() + 34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, dataBytes);
    return h;
}

}  // namespace

Result<std::unique_ptr<WavOutput>> WavOutput::create(const std::string& path, Clock& clock) {
    using R = Result<std::unique_ptr<WavOutput>>;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return R::failure("Cannot write the WAV file '" + path + "': " + std::strerror(errno) +
                          ".");
    }
    const auto h = header(0);
    if (std::fwrite(h.data(), 1, h.size(), file) != h.size() || std::fflush(file) != 0) {
        std::fclose(file);
        return R::failure("Cannot write the WAV file '" + path + "'.");
    }
    return R::success(std::unique_ptr<WavOutput>(new WavOutput(file, clock)));
}

WavOutput::WavOutput(std::FILE* file, Clock& clock) : PacedOutput(clock), m_file(file) {}

WavOutput::~WavOutput() {
    detachClock();
    finish();
}

void WavOutput::finish() {
    service();
    std::lock_guard lock(m_fileMutex);
    if (m_file) {
        writeSizes();
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void WavOutput::hear(std::span<const std::uint8_t> pcm) {
    std::lock_guard lock(m_fileMutex);
    if (!m_file || !m_healthy || pcm.empty()) {
        return;
    }
    if (m_dataBytes + pcm.size() > kMaxDataBytes ||
        std::fwrite(pcm.data(), 1, pcm.size(), m_file) != pcm.size()) {
        m_healthy = false;
        return;
    }
    m_dataBytes += pcm.size();
    writeSizes();
}

void WavOutput::writeSizes() {
    const auto h = header(static_cast<std::uint32_t>(m_dataBytes));
    const long end = std::ftell(m_file);
    if (std::fseek(m_file, 4, SEEK_SET) != 0 || std::fwrite(h.data() + 4, 1, 4, m_file) != 4 ||
        std::fseek(m_file, 40, SEEK_SET) != 0 || std::fwrite(h.data() + 40, 1, 4, m_file) != 4 ||
        std::fseek(m_file, end, SEEK_SET) != 0 || std::fflush(m_file) != 0) {
        m_healthy = false;
    }
}

std::int64_t WavOutput::framesRecorded() const {
    std::lock_guard lock(m_fileMutex);
    return std::int64_t(m_dataBytes / kBytesPerSampleFrame);
}

bool WavOutput::healthy() const {
    std::lock_guard lock(m_fileMutex);
    return m_healthy;
}

}  // namespace sonarch
