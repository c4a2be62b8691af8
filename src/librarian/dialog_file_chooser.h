#pragma once

#include "librarian/file_chooser.h"

class QWidget;

namespace sonarch {

// The desktop's file dialogs over the library window.
class DialogFileChooser : public FileChooser {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<std::string> fileToOpen(const FileQuestion& question) override;
    std::optional<std::string> fileToSave(const FileQuestion& question) override;

private:
    QWidget* m_parent = nullptr;
};

}  // namespace sonarch
