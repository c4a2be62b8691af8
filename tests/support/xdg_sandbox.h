#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <map>
#include <optional>
#include <string>

namespace sonarch::testing {

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                qputenv(name.c_str(), *value);
            } else {
                qunsetenv(name.c_str());
            }
        }
    }
    void set(const char* name, const QByteArray& value) {
        if (!m_saved.count(name)) {
            m_saved[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        }
        qputenv(name, value);
    }

private:
    std::map<std::string, std::optional<QByteArray>> m_saved;
};

// Temporary freedesktop folders (config and data, home and system) that both the player and
// the real xdg-utils read, on a generic desktop.
class XdgSandbox {
public:
    XdgSandbox() {
        m_environment.set("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        m_environment.set("XDG_DATA_HOME", QFile::encodeName(path("data")));
        m_environment.set("XDG_CONFIG_DIRS", QFile::encodeName(path("etc")));
        m_environment.set("XDG_DATA_DIRS", QFile::encodeName(path("share")));
        // xdg-utils take this for a desktop with no tools of its own.
        m_environment.set("XDG_CURRENT_DESKTOP", "X-Generic");
    }

    static bool haveXdgUtils() { return !QStandardPaths::findExecutable("xdg-mime").isEmpty(); }

    QString path(const QString& below) const { return m_root.filePath(below); }
    std::string mimeapps() const { return read(path("config/mimeapps.list")); }

    // What `xdg-mime query default TYPE` answers (its first line).
    std::string queryDefault(const QString& type) const {
        QProcess mime;
        mime.start("xdg-mime", {"query", "default", type});
        mime.waitForFinished(20000);
        return QString::fromUtf8(mime.readAllStandardOutput()).trimmed().toStdString();
    }

    static std::string read(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : std::string();
    }
    static bool write(const QString& file, const std::string& text) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        return out.open(QIODevice::WriteOnly) &&
               out.write(text.data(), qint64(text.size())) == qint64(text.size());
    }

private:
    QTemporaryDir m_root;
    ScopedEnvironment m_environment;
};

// An xdg-open of the test's own, first on PATH: it writes each argument it gets on a line
// of its record and exits with the code it is given.
class StandInXdgOpen {
public:
    explicit StandInXdgOpen(int exitCode = 0) {
        const QString script = m_dir.filePath("xdg-open");
        XdgSandbox::write(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + record().toStdString() +
                                      "'\nexit $(cat '" + m_dir.filePath("code").toStdString() +
                                      "')\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setExitCode(exitCode);
        m_environment.set("PATH", QFile::encodeName(m_dir.path()) + ":" + qgetenv("PATH"));
    }
    void setExitCode(int code) {
        XdgSandbox::write(m_dir.filePath("code"), std::to_string(code) + "\n");
    }
    QString record() const { return m_dir.filePath("record"); }
    // The arguments of every run so far, one a line.
    std::string recorded() const { return XdgSandbox::read(record()); }

private:
    QTemporaryDir m_dir;
    ScopedEnvironment m_environment;
};

}  // namespace sonarch::testing
