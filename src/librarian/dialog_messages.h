#pragma once

#include "base/messages.h"

class QWidget;

namespace sonarch {

// Messages and questions in modal message boxes over the library window.
class DialogMessages : public Messages {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const std::string& text) override;
    bool ask(const std::string& question, const std::string& yes) override;

private:
    QWidget* m_parent = nullptr;
};

}  // namespace sonarch
