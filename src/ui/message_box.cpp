#include "ui/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

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

bool MessageBoxMessages::ask(const std::string& question, const std::string& yes) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                    QString::fromStdString(question), QMessageBox::NoButton, m_parent);
    QPushButton* accept = box.addButton(QString::fromStdString(yes), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    m_open.emplace_back(&box);
    box.exec();
    std::erase_if(m_open, [&box](const QPointer<QMessageBox>& open) {
        return open.isNull() || open == &box;
    });
    return box.clickedButton() == accept;
}

void MessageBoxMessages::closeOpenMessages() {
    for (const QPointer<QMessageBox>& box : m_open) {
        if (box) {
            box->done(QMessageBox::Ok);
        }
    }
}

}  // namespace sonarch
