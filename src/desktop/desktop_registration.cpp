#include "desktop/desktop_registration.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "desktop/desktop_entry.h"
#include "desktop/mimeapps_list.h"

namespace sonarch {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> folderList(const char* variable, const char* fallback) {
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty()) {
        value = fallback;
    }
    std::vector<std::string> folders;
    for (const QString& folder : value.split(':', Qt::SkipEmptyParts)) {
        folders.push_back(folder.toStdString());
    }
    return folders;
}

std::string homeFolder(const char* variable, const char* belowHome) {
    const QString value = qEnvironmentVariable(variable);
    return (value.isEmpty() ? QDir::homePath() + belowHome : value).toStdString();
}

// A file's bytes; nothing when it is missing, and an error when it is there but unreadable.
struct FileContent {
    std::optional<QByteArray> bytes;
    std::optional<std::string> error;
};

FileContent readFile(const std::string& path) {
    QFile file(q(path));
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, "cannot read " + path + ": " + file.errorString().toStdString()};
    }
    return {file.readAll(), std::nullopt};
}

std::optional<std::string> writeAtomically(const std::string& path, const QByteArray& bytes) {
    const QFileInfo info(q(path));
    if (!QDir().mkpath(info.absolutePath())) {
        return "cannot make the folder " + info.absolutePath().toStdString();
    }
    QSaveFile file(q(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return "cannot write " + path + ": " + file.errorString().toStdString();
    }
    return std::nullopt;
}

// Puts a file back as it was before a failed registration: its old bytes, or no file.
void restore(const std::string& path, const std::optional<QByteArray>& before) {
    if (before) {
        writeAtomically(path, *before);
    } else {
        QFile::remove(q(path));
    }
}

}  // namespace

XdgFolders XdgFolders::fromEnvironment() {
    XdgFolders folders;
    folders.configHome = homeFolder("XDG_CONFIG_HOME", "/.config");
    folders.dataHome = homeFolder("XDG_DATA_HOME", "/.local/share");
    folders.configDirs = folderList("XDG_CONFIG_DIRS", "/etc/xdg");
    folders.dataDirs = folderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts)) {
        folders.currentDesktops.push_back(desktop.toLower().toStdString());
    }
    return folders;
}

DesktopRegistration::DesktopRegistration(XdgFolders folders, std::string programPath,
                                         std::string iconFile)
    : m_folders(std::move(folders)),
      m_programPath(std::move(programPath)),
      m_iconFile(std::move(iconFile)) {}

std::string DesktopRegistration::execLine() const {
    return ExecLineFor(m_programPath);
}

std::string DesktopRegistration::entryPath() const {
    return m_folders.dataHome + "/applications/" + kCdPlayerEntryId;
}

std::string DesktopRegistration::mimeappsPath() const {
    return m_folders.configHome + "/mimeapps.list";
}

std::string DesktopRegistration::actionPath() const {
    return m_folders.dataHome + "/solid/actions/" + kCdPlayerEntryId;
}

std::string DesktopRegistration::iconPath() const {
    return m_folders.dataHome + "/icons/hicolor/64x64/apps/" + kCdPlayerIconName + ".png";
}

// The file of an entry as the desktop finds it: the data home first, then the data dirs.
std::optional<std::string> DesktopRegistration::installedEntry(const std::string& desktopId) const {
    std::vector<std::string> roots{m_folders.dataHome};
    roots.insert(roots.end(), m_folders.dataDirs.begin(), m_folders.dataDirs.end());
    for (const std::string& root : roots) {
        const std::string path = root + "/applications/" + desktopId;
        if (QFileInfo(q(path)).isFile()) {
            return path;
        }
    }
    return std::nullopt;
}

// The entry the desktop starts for an inserted audio CD: the first list, in the order
// freedesktop's rules for default applications give, that names an installed entry for the
// type decides.
std::optional<std::string> DesktopRegistration::defaultEntryPath() const {
    std::vector<std::string> folders{m_folders.configHome};
    folders.insert(folders.end(), m_folders.configDirs.begin(), m_folders.configDirs.end());
    folders.push_back(m_folders.dataHome + "/applications");
    for (const std::string& dir : m_folders.dataDirs) {
        folders.push_back(dir + "/applications");
    }
    std::vector<std::string> prefixes;
    for (const std::string& desktop : m_folders.currentDesktops) {
        prefixes.push_back(desktop + "-");
    }
    prefixes.emplace_back();
    for (const std::string& folder : folders) {
        for (const std::string& prefix : prefixes) {
            const FileContent list = readFile(folder + "/" + prefix + "mimeapps.list");
            if (!list.bytes) {
                continue;
            }
            for (const std::string& id :
                 DefaultApplicationsFor(list.bytes->toStdString(), kAudioCdType)) {
                if (const auto entry = installedEntry(id)) {
                    return entry;
                }
            }
        }
    }
    return std::nullopt;
}

bool DesktopRegistration::isDefaultCdPlayer() const {
    const auto entry = defaultEntryPath();
    if (!entry) {
        return false;
    }
    const FileContent content = readFile(*entry);
    if (!content.bytes) {
        return false;
    }
    const auto exec = DesktopEntryValue(content.bytes->toStdString(), "Desktop Entry", "Exec");
    return exec && *exec == execLine();
}

std::optional<std::string> DesktopRegistration::setDefaultCdPlayer(bool on) const {
    return on ? makeDefault() : removeDefault();
}

/*
 * The desktop reads its own list ($XDG_CONFIG_HOME/gnome-mimeapps.list under GNOME) before
 * the common one, so a default for audio CDs named there wins over the one written to
 * mimeapps.list: such a list gets the player as its default too. The player's files go
 * first, so the default never names a missing entry, the lists last; when anything cannot
 * be written, or the desktop would still start another program, every file goes back as it
 * was and the reason is told.
 */
std::optional<std::string> DesktopRegistration::makeDefault() const {
    const FileContent list = readFile(mimeappsPath());
    if (list.error) {
        return list.error;  // an unreadable list is never written over
    }
    const std::string exec = execLine();
    std::vector<std::pair<std::string, QByteArray>> files{
        {entryPath(), QByteArray::fromStdString(CdPlayerEntryText(exec, kCdPlayerIconName))},
        {actionPath(), QByteArray::fromStdString(CdPlayerActionText(
                           ExecLineFor(m_programPath, "%d"), kCdPlayerIconName))}};
    if (QFile icon(q(m_iconFile)); !m_iconFile.empty() && icon.open(QIODevice::ReadOnly)) {
        files.emplace_back(iconPath(), icon.readAll());
    }
    const std::string text = list.bytes ? list.bytes->toStdString() : std::string();
    for (const std::string& desktopList : desktopListsNamingAudioCds()) {
        const FileContent own = readFile(desktopList);
        if (own.error) {
            return own.error;
        }
        files.emplace_back(desktopList,
                           QByteArray::fromStdString(WithDefaultApplication(
                               own.bytes->toStdString(), kAudioCdType, kCdPlayerEntryId)));
    }
    files.emplace_back(mimeappsPath(), QByteArray::fromStdString(WithDefaultApplication(
                                           text, kAudioCdType, kCdPlayerEntryId)));

    std::vector<std::pair<std::string, std::optional<QByteArray>>> before;
    auto undo = [&before] {
        for (const auto& [path, bytes] : before) {
            restore(path, bytes);
        }
    };
    for (const auto& [path, bytes] : files) {
        FileContent old = readFile(path);
        if (old.error) {
            undo();
            return old.error;
        }
        before.emplace_back(path, std::move(old.bytes));
        if (auto error = writeAtomically(path, bytes)) {
            undo();
            return error;
        }
    }
    if (!isDefaultCdPlayer()) {
        const auto other = defaultEntryPath();
        undo();
        return "the desktop would still start " + other.value_or("no player") +
               " for audio CDs, by rules of its own";
    }
    return std::nullopt;
}

// The desktop's own lists in the config home ($XDG_CURRENT_DESKTOP, lower case, before
// "-mimeapps.list") that name a default for audio CDs.
std::vector<std::string> DesktopRegistration::desktopListsNamingAudioCds() const {
    std::vector<std::string> lists;
    for (const std::string& desktop : m_folders.currentDesktops) {
        const std::string path = m_folders.configHome + "/" + desktop + "-mimeapps.list";
        const FileContent content = readFile(path);
        if (content.error ||
            (content.bytes &&
             !DefaultApplicationsFor(content.bytes->toStdString(), kAudioCdType).empty())) {
            lists.push_back(path);
        }
    }
    return lists;
}

std::optional<std::string> DesktopRegistration::removeDefault() const {
    const FileContent list = readFile(mimeappsPath());
    if (list.error) {
        return list.error;
    }
    if (list.bytes) {
        const std::string text = list.bytes->toStdString();
        const std::string cleared = WithoutDefaultApplication(text, kAudioCdType);
        if (cleared != text) {
            if (auto error = writeAtomically(mimeappsPath(), QByteArray::fromStdString(cleared))) {
                return error;
            }
        }
    }
    // The desktop's own lists lose the default only where it is the player's.
    for (const std::string& desktopList : desktopListsNamingAudioCds()) {
        const FileContent own = readFile(desktopList);
        if (!own.bytes) {
            continue;
        }
        const std::string text = own.bytes->toStdString();
        const auto named = DefaultApplicationsFor(text, kAudioCdType);
        if (std::find(named.begin(), named.end(), kCdPlayerEntryId) == named.end()) {
            continue;
        }
        if (auto error = writeAtomically(
                desktopList,
                QByteArray::fromStdString(WithoutDefaultApplication(text, kAudioCdType)))) {
            return error;
        }
    }
    // Nothing names them any more: the player's own files go too.
    for (const std::string& path : {entryPath(), actionPath(), iconPath()}) {
        QFile::remove(q(path));
    }
    return std::nullopt;
}

}  // namespace sonarch
