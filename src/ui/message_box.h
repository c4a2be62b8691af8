#pragma once

#include <QPointer>
#include <vector>

#include "base/messages.h"

class QMessageBox;
class QWidget;

namespace sonarch {

// Messages shown the way a desktop program does: a modal OK box with the program's name.
class MessageBoxMessages : public Messages {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const std::string& text) override;
    // A question box; closed by closeOpenMessages, it answers no.
    bool ask(const std::string& question, const std::string& yes) override;
    // Closes the boxes waiting for their OK, as if it had been pressed: the program is
    // asked to end and nobody may be there to press it.
    void closeOpenMessages();

private:
    QWidget* m_parent = nullptr;
    std::vector<QPointer<QMessageBox>> m_open;
};

}  // namespace sonarch
