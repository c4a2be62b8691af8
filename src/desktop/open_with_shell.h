#pragma once

#include <QObject>
#include <string>

#include "desktop/shell_result.h"

namespace sonarch {

// Opens documents and addresses the way the desktop does, through xdg-open (found on PATH),
// without blocking the window. Its parent is the owner window: outcomes of links opened from
// a window that has gone are dropped, while what was started keeps running.
class ShellOpener : public QObject {
    Q_OBJECT
public:
    explicit ShellOpener(QObject* owner);

    // Opens `file` with `verb` ("open", or empty for the same). With parameters or a
    // directory, `file` is started as a program with those parameters in that directory.
    // The show command has no meaning on Linux desktops and is not used. The outcome
    // arrives through finished(), never before this returns.
    void OpenWithShell(const std::string& file, int showCommand, const std::string& parameters,
                       const std::string& directory, const std::string& verb);

signals:
    void finished(const sonarch::ShellOutcome& outcome);

private:
    void openWithXdgOpen(const std::string& file);
    int startProgram(const std::string& file, const std::string& parameters,
                     const std::string& directory) const;
    void finishLater(int result);
    void finish(int result);
};

}  // namespace sonarch
