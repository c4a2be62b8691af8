#pragma once

#include <string>
#include <string_view>

namespace sonarch {

// 75 -> "01:15", 6000 -> "100:00". Fractions are rounded to whole seconds (ties to even)
// before the split, and a negative value reads "-" and its magnitude, so the minute and
// second parts always agree. Not-a-number gives an empty text.
std::string SecondsToText(float seconds);

// "03:25" -> 205, "1:02:03" -> 3723. A text with one colon is minutes and seconds, one
// with two colons hours, minutes and seconds. Anything that does not convert gives 0.
float TextToSeconds(std::string_view text);

// The picture "00": at least two digits, zero-padded.
std::string twoDigits(long long value);

// Rounds to the nearest integer, ties to even, as every conversion of the player does.
long long roundHalfEven(double value);

}  // namespace sonarch
