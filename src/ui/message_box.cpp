#include "ui/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace sonarch {

void MessageBoxMessages::showMessage(const std::string& text) {
    QMessageBox::information(m_parent, QCoreApplication::applicationName(),
                             QString::fromStdString(text), QMessageBox::Ok);
}

}  // namespace sonarch
