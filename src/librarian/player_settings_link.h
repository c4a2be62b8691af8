#pragma once

#include <QDBusConnection>

#include <optional>
#include <string>

#include "librarian/player_link.h"

namespace sonarch {

// The player as the desktop has it: the running player through its own object on the
// session bus; with none running, its settings file (player.dat in `settingsFolder`),
// written as the player writes it.
class PlayerSettingsLink : public PlayerLink {
public:
    // Without a bus, only the settings file is used.
    PlayerSettingsLink(std::string settingsFolder, std::optional<QDBusConnection> bus);

    std::string playerLibrary() override;
    Result<bool> useLibrary(const std::string& path) override;
    void discChanged(const std::string& library, const std::string& key) override;

private:
    bool playerRuns() const;

    std::string m_settingsFolder;
    std::optional<QDBusConnection> m_bus;
};

}  // namespace sonarch
