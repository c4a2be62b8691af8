#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sonarch {

// Shows a plain OK message to the user, and asks yes-or-no questions. The program uses
// real message boxes; tests use MessageRecorder so that no test ever blocks on a modal
// dialog.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void showMessage(const std::string& text) = 0;
    // True when the user answers `question` with the button `yes` (such as "Delete"); a
    // program that cannot ask declines, so nothing is done that was not asked for.
    virtual bool ask(const std::string& /*question*/, const std::string& /*yes*/) { return false; }
};

class MessageRecorder : public Messages {
public:
    void showMessage(const std::string& text) override { m_shown.push_back(text); }
    // Answers with the next answer given to answerNext, and with no once they are used up.
    bool ask(const std::string& question, const std::string& yes) override;
    void answerNext(bool yes) { m_answers.push_back(yes); }

    const std::vector<std::string>& shown() const { return m_shown; }
    const std::vector<std::string>& asked() const { return m_asked; }
    void clear() {
        m_shown.clear();
        m_asked.clear();
    }

private:
    std::vector<std::string> m_shown;
    std::vector<std::string> m_asked;
    std::vector<bool> m_answers;
    std::size_t m_nextAnswer = 0;
};

}  // namespace sonarch
