#pragma once

#include "base/messages.h"

class QWidget;

namespace sonarch {

// Messages shown the way a desktop program does: a modal OK box with the program's name.
class MessageBoxMessages : public Messages {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const std::string& text) override;

private:
    QWidget* m_parent = nullptr;
};

}  // namespace sonarch
