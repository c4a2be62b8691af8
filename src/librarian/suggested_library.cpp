#include "librarian/suggested_library.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace sonarch {

std::string SuggestedLibraryPath(const std::string& xdgDataHome, const std::string& home) {
    const std::string data =
        !xdgDataHome.empty() && xdgDataHome.front() == '/' ? xdgDataHome : home + "/.local/share";
    return data + "/qvplayer/library.dbd";
}

std::string SuggestedLibraryPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return SuggestedLibraryPath(
        dataHome ? dataHome : "",
        home && *home ? std::string(home) : QFile::encodeName(QDir::homePath()).toStdString());
}

}  // namespace sonarch
