#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/mci/mci_device.h"

namespace sonarch {

// Passes every command to the real device and keeps a log of what was sent, so a test can
// check the exact command strings a click produced.
class RecordingDevice : public MciDevice {
public:
    struct Entry {
        std::string command;
        int replyLength = 0;
        MciResult result;
    };

    explicit RecordingDevice(MciDevice& inner) : m_inner(inner) {}

    MciResult send(std::string_view command, int replyLength) override {
        if (m_observer) {
            m_observer(command);
        }
        MciResult result = m_inner.send(command, replyLength);
        m_log.push_back({std::string(command), replyLength, result});
        return result;
    }
    std::string errorText(int code) const override { return m_inner.errorText(code); }

    const std::vector<Entry>& log() const { return m_log; }
    std::vector<std::string> commands() const {
        std::vector<std::string> sent;
        for (const Entry& e : m_log) {
            sent.push_back(e.command);
        }
        return sent;
    }
    void clear() { m_log.clear(); }
    // Called before each command reaches the device, to see the window as it was then.
    void observe(std::function<void(std::string_view)> observer) {
        m_observer = std::move(observer);
    }

private:
    MciDevice& m_inner;
    std::vector<Entry> m_log;
    std::function<void(std::string_view)> m_observer;
};

}  // namespace sonarch
