#pragma once

#include <string>
#include <string_view>

namespace sonarch {

// Result of one command string: code 0 is success, anything else an error whose text
// errorText() gives. The reply is empty for commands that answer nothing.
struct MciResult {
    int code = 0;
    std::string reply;
};

// The CD audio device as the player talks to it: command strings in, replies out.
class MciDevice {
public:
    virtual ~MciDevice() = default;
    // replyLength is the size of the caller's reply buffer including its closing NUL;
    // 0 means the caller wants no reply. A reply that does not fit is an error.
    virtual MciResult send(std::string_view command, int replyLength) = 0;
    virtual std::string errorText(int code) const = 0;
};

}  // namespace sonarch
