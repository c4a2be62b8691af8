#include "desktop/open_with_shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace sonarch {

ShellOpener::ShellOpener(QObject* owner) : QObject(owner) {
    setObjectName("mShellExecute");
}

void ShellOpener::OpenWithShell(const std::string& file, int /*showCommand*/,
                                const std::string& parameters, const std::string& directory,
                                const std::string& verb) {
    if (!verb.empty() && verb != "open") {
        finishLater(kShellNoAssociation);  // the desktop's opener knows only "open"
    } else if (parameters.empty() && directory.empty()) {
        openWithXdgOpen(file);
    } else {
        finishLater(startProgram(file, parameters, directory));
    }
}

void ShellOpener::openWithXdgOpen(const std::string& file) {
    const QString tool = QStandardPaths::findExecutable("xdg-open");
    if (tool.isEmpty()) {
        finishLater(ShellResultForExit(std::nullopt, false));
        return;
    }
    // No parent, on purpose: a QProcess that is destroyed kills its process, and xdg-open may
    // run the browser in the foreground. One still running when the player ends is left to
    // run; it shares the player's output channels, so it never writes into a closed pipe.
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        finish(ShellResultForExit(code, status == QProcess::CrashExit));
    });
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(ShellResultForExit(std::nullopt, false));
        }
    });
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
        }
    });
    process->start(tool, {QString::fromStdString(file)});
}

int ShellOpener::startProgram(const std::string& file, const std::string& parameters,
                              const std::string& directory) const {
    const QString folder = QString::fromStdString(directory);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        return kShellPathNotFound;
    }
    QString program = QString::fromStdString(file);
    if (!program.contains('/')) {
        program = QStandardPaths::findExecutable(program);
    } else if (QDir::isRelativePath(program) && !folder.isEmpty()) {
        program = QDir(folder).filePath(program);
    }
    const QFileInfo info(program);
    if (program.isEmpty() || !info.exists()) {
        return kShellFileNotFound;
    }
    if (!info.isFile() || !info.isExecutable()) {
        return kShellAccessDenied;
    }
    const bool started = QProcess::startDetached(
        program, QProcess::splitCommand(QString::fromStdString(parameters)), folder);
    return started ? kShellSuccess : 1;
}

void ShellOpener::finishLater(int result) {
    QTimer::singleShot(0, this, [this, result] { finish(result); });
}

void ShellOpener::finish(int result) {
    const std::string executable =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    emit finished(ShellOutcomeFor(result, executable));
}

}  // namespace sonarch
