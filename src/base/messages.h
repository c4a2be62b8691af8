#pragma once

#include <string>
#include <vector>

namespace sonarch {

// Shows a plain OK message to the user. The program uses a real message box; tests use
// MessageRecorder so that no test ever blocks on a modal dialog.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void showMessage(const std::string& text) = 0;
};

class MessageRecorder : public Messages {
public:
    void showMessage(const std::string& text) override { m_shown.push_back(text); }
    const std::vector<std::string>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    std::vector<std::string> m_shown;
};

}  // namespace sonarch
