#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/messages.h"
#include "base/result.h"
#include "core/settings_file.h"
#include "device/drives/switchable_drive.h"
#include "device/images/disc_text.h"
#include "device/mci/mci_device.h"
#include "library/library_store.h"
#include "model/settings.h"
#include "volume/vol_control.h"

namespace sonarch {

// What the player is built from: it reaches nothing outside through globals. Only main
// and the tests build one; everyone else knows the player by core/player.h alone.
struct PlayerServices {
    MciDevice& device;
    Mixer& mixer;
    const LibraryStore& library;
    Messages& messages;
    // Reads the settings (writing the defaults first when there are none); the position
    // the window takes when none is stored is passed in.
    std::function<Settings(WindowPosition centred)> loadSettings;
    // Stores the settings with the window's current position.
    std::function<void(const Settings&, WindowPosition window)> saveSettings;
    // The CD-TEXT of the disc in the drive, for discs the library does not know; may be null.
    DiscTextSource* discText = nullptr;
    // Opens a drive by its name (as --drive takes it) and the drive the device plays, so
    // that discs can be opened while the player runs; without them openDrive does nothing.
    std::function<Result<std::unique_ptr<Drive>>(const std::string& name)> openDrive = nullptr;
    SwitchableDrive* drives = nullptr;
};

}  // namespace sonarch
