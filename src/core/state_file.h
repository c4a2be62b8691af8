#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/result.h"
#include "core/safe_file.h"

namespace sonarch {

// What the player keeps between runs besides its settings, in a file of its own beside
// "player.dat" (which keeps exactly its 15 lines): the drive or disc image it had last.
// Plain text, one "key=value" line each, ended by LF; lines it does not know are skipped.
inline constexpr const char* kStateFileName = "player-state.txt";

// `folder` joined with "player-state.txt".
std::string StateFilePath(const std::string& folder);

// The drive last opened, as --drive takes it ("" for the system's default drive); nothing
// when no file or no drive is stored, or the file cannot be used (why in `error`).
std::optional<std::string> ReadLastDrive(const std::string& folder, std::string* error = nullptr);
std::optional<std::string> ReadLastDrive(const std::string& folder, FileOps& files,
                                         std::string* error = nullptr);

// Stores `drive` as the last one, safely as "player.dat" is written (WriteOwnFile).
Result<std::string> SaveLastDrive(const std::string& folder, const std::string& drive);
Result<std::string> SaveLastDrive(const std::string& folder, const std::string& drive,
                                  FileOps& files);

// Whether a drive is kept as the last one: a CD drive, a disc image (by absolute path) or
// the demo disc; not a disc described on the command line.
bool IsRememberedDrive(const std::string& drive);

// The drive a start opens: the one named on the command line; else the last one, while it
// is still there (`exists` is asked about paths); else the system's default drive ("").
std::string DriveToOpen(const std::string& named, const std::optional<std::string>& last,
                        const std::function<bool(const std::string&)>& exists);

}  // namespace sonarch
