#include "base/messages.h"

namespace sonarch {

bool MessageRecorder::ask(const std::string& question, const std::string& yes) {
    m_asked.push_back(question + " [" + yes + "]");
    return m_nextAnswer < m_answers.size() && m_answers[m_nextAnswer++];
}

}  // namespace sonarch
