#include "ui/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace sonarch {

void MessageBoxMessages::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, m_parent);
    m_open.emplace_back(&box);
    box.exec();
    std::erase_if(m_open, [&box](const QPointer<QMessageBox>& open) {
        return open.isNull() || open == &box;
    });
}

void MessageBoxMessages::closeOpenMessages() {
    for (const QPointer<QMessageBox>& box : m_open) {
        if (box) {
            box->done(QMessageBox::Ok);
        }
    }
}

}  // namespace sonarch
