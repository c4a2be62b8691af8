#pragma once

#include <optional>
#include <string>

namespace sonarch {

// The drive named in one of the forms desktops pass, as the player's drive names take it:
// a device path ("/dev/sr0"), a cdda URI ("cdda://sr0/", "cdda:///dev/sr0"), a file URI
// ("file:///home/me/album%201.cue"), or a path of a disc image, made absolute against the
// current folder so that it means the same to another process. The player's own names
// ("demo", "virtual:...") stay as they are. Nothing for an empty text or a URI of another
// scheme.
std::optional<std::string> DriveNameFromArgument(const std::string& text);

}  // namespace sonarch
