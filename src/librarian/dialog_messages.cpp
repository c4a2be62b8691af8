#include "librarian/dialog_messages.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace sonarch {

void DialogMessages::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.exec();
}

bool DialogMessages::ask(const std::string& question, const std::string& yes) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                    QString::fromStdString(question), QMessageBox::NoButton, m_parent);
    QPushButton* accept = box.addButton(QString::fromStdString(yes), QMessageBox::AcceptRole);
    // Enter, Escape and closing the box keep things as they are.
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    return box.clickedButton() == accept;
}

}  // namespace sonarch
