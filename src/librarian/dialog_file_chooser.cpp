#include "librarian/dialog_file_chooser.h"

#include <QFile>
#include <QFileDialog>

namespace sonarch {

namespace {

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(path).toStdString();
}

}  // namespace

std::optional<std::string> DialogFileChooser::fileToOpen(const FileQuestion& question) {
    return chosen(QFileDialog::getOpenFileName(m_parent, QString::fromStdString(question.title),
                                               QFile::decodeName(question.start.c_str()),
                                               QString::fromStdString(question.filter)));
}

std::optional<std::string> DialogFileChooser::fileToSave(const FileQuestion& question) {
    return chosen(QFileDialog::getSaveFileName(m_parent, QString::fromStdString(question.title),
                                               QFile::decodeName(question.start.c_str()),
                                               QString::fromStdString(question.filter)));
}

}  // namespace sonarch
