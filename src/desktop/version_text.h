#pragma once

#include <string>
#include <string_view>

namespace sonarch {

// "Version " + major + "." + minor of a version such as "1.0.3", both as plain decimal
// numbers; the rest is not shown.
std::string VersionText(std::string_view version);
// The text for this build of the player.
std::string ProgramVersionText();

}  // namespace sonarch
