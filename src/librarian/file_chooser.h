#pragma once

#include <optional>
#include <string>

namespace sonarch {

// What a file dialog asks: its title, where it starts (a folder, or a file name there),
// and the files it shows ("Pictures (*.png *.jpg)").
struct FileQuestion {
    std::string title;
    std::string start;
    std::string filter;
};

// Lets the user pick a file: real dialogs in the program, answers given beforehand in
// tests (no test opens a modal dialog).
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // An existing file to read; nothing when the user cancels.
    virtual std::optional<std::string> fileToOpen(const FileQuestion& question) = 0;
    // A new file's name; nothing when the user cancels.
    virtual std::optional<std::string> fileToSave(const FileQuestion& question) = 0;
};

}  // namespace sonarch
