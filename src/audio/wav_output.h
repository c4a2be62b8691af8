#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "audio/paced_output.h"
#include "base/result.h"

namespace sonarch {

// Records exactly what was heard, after volume, into a 44.1 kHz 16-bit stereo WAV file.
// The header is brought up to date after every piece written, so the file is complete
// whenever the program stops, and finish() or the destructor closes it.
class WavOutput : public PacedOutput {
public:
    static Result<std::unique_ptr<WavOutput>> create(const std::string& path, Clock& clock);
    ~WavOutput() override;

    // Passes on what has been heard and closes the file. Call it once the device that
    // writes here is gone; later writes are dropped.
    void finish();
    // Frames written to the file so far.
    std::int64_t framesRecorded() const;
    // False once a write to the file failed (disk full, or past the 4 GiB a WAV can hold).
    bool healthy() const;

protected:
    void hear(std::span<const std::uint8_t> pcm) override;

private:
    WavOutput(std::FILE* file, Clock& clock);
    void writeSizes();

    mutable std::mutex m_fileMutex;
    std::FILE* m_file;
    std::uint64_t m_dataBytes = 0;
    bool m_healthy = true;
};

}  // namespace sonarch
