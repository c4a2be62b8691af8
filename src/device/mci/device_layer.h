#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/messages.h"
#include "device/mci/mci_device.h"

namespace sonarch {

// The last result of DeviceCommand; the text is filled only when an error was shown.
struct DeviceError {
    std::int32_t errorCode = 0;
    std::string errorText;
};

// A caller-owned, fixed-length reply buffer. A reply is written at its start, closed by a
// NUL; what stood behind it stays. A failed query leaves the buffer untouched, so a caller
// reading by fixed positions may see the previous reply, as the poll expects.
class ReplyBuffer {
public:
    explicit ReplyBuffer(int length) : m_data(std::size_t(length > 0 ? length : 0), '\0') {}

    int length() const { return static_cast<int>(m_data.size()); }
    void write(std::string_view reply);
    // `count` raw characters from position `from` (counted from 1), NULs included.
    std::string piece(int from, int count) const;
    // The text up to the first NUL.
    std::string text() const;
    // A piece as a caller reads it: `count` characters from `from`, cut at the first NUL.
    std::string textPiece(int from, int count) const;
    // The number in a piece: blanks around it are allowed and reading stops at a NUL; a
    // piece that holds no whole number gives nothing.
    std::optional<std::int32_t> number(int from, int count) const;

private:
    std::string m_data;
};

// Sends command strings to the CD audio device in the two ways the player uses: commands
// whose failures may be shown to the user, and queries whose failures are silent.
class DeviceLayer {
public:
    DeviceLayer(MciDevice& device, Messages& messages, DeviceError& error)
        : m_device(device), m_messages(messages), m_error(error) {}

    // Returns true exactly when the device accepted the command. With showErrors, a
    // failure shows the device's own text in an OK message.
    bool DeviceCommand(std::string_view command, bool showErrors);
    // Writes the reply into the buffer on success; returns the device's result code, which
    // most callers ignore.
    int DeviceQuery(std::string_view command, ReplyBuffer& buffer);
    // Fire-and-forget: no reply buffer.
    int DeviceQuery(std::string_view command);

    const DeviceError& deviceError() const { return m_error; }

private:
    MciDevice& m_device;
    Messages& m_messages;
    DeviceError& m_error;
};

}  // namespace sonarch
