#include "device/mci/device_layer.h"

#include <algorithm>

#include "base/number_text.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

constexpr std::size_t kErrorTextLength = 200;  // the text buffer holds 199 characters and a NUL

}  // namespace

void ReplyBuffer::write(std::string_view reply) {
    if (m_data.empty()) {
        return;
    }
    const std::size_t n = std::min(reply.size(), m_data.size() - 1);
    std::copy_n(reply.begin(), n, m_data.begin());
    m_data[n] = '\0';
}

std::string ReplyBuffer::piece(int from, int count) const {
    if (from < 1 || count <= 0 || std::size_t(from) > m_data.size()) {
        return {};
    }
    return m_data.substr(std::size_t(from - 1), std::size_t(count));
}

std::string ReplyBuffer::text() const {
    return m_data.substr(0, m_data.find('\0'));
}

std::string ReplyBuffer::textPiece(int from, int count) const {
    const std::string raw = piece(from, count);
    return raw.substr(0, raw.find('\0'));
}

std::optional<std::int32_t> ReplyBuffer::number(int from, int count) const {
    std::string text = textPiece(from, count);
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const auto value = parseInteger(text);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);  // at most a few digits: always fits
}

bool DeviceLayer::DeviceCommand(std::string_view command, bool showErrors) {
    const MciResult result = m_device.send(command, 0);
    m_error.errorCode = result.code;
    if (showErrors && result.code != 0) {
        std::string text = m_device.errorText(result.code);
        text = text.substr(0, std::min(text.find('\0'), kErrorTextLength - 1));
        m_error.errorText = text;
        m_messages.showMessage(text);
    }
    return result.code == 0;
}

int DeviceLayer::DeviceQuery(std::string_view command, ReplyBuffer& buffer) {
    const MciResult result = m_device.send(command, buffer.length());
    if (result.code == 0 && buffer.length() > 0) {
        buffer.write(result.reply);
    }
    return result.code;
}

int DeviceLayer::DeviceQuery(std::string_view command) {
    return m_device.send(command, 0).code;
}

}  // namespace sonarch
