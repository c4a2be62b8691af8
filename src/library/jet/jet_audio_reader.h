#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sonarch {

// Reads the table Audio of an Access file with libmdb, in this very process, and gives it
// back as a JetAnswerWriter answer. libmdb trusts the file, so a damaged one can crash it:
// outside tests and fuzzing this runs only in a child process (ReadJetLibrary).
std::string ReadJetAudioAnswer(const std::string& path);

// The same for a whole file held in memory.
std::string ReadJetAudioAnswerFromBytes(std::string bytes);

// A rating as libmdb writes the column out ("7", "7.00000000e+00", "7,5e+00"): the
// nearest whole number, halves to even; 0 for a text that is no number.
std::int64_t RatingFromText(std::string_view text);

}  // namespace sonarch
