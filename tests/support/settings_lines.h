#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace sonarch::testing {

// The lines of a player.dat a player wrote, without their CR LF ends; none when unreadable.
inline QStringList SettingsFileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
    lines.removeLast();  // after the last CR LF
    return lines;
}

}  // namespace sonarch::testing
