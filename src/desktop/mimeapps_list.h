#pragma once

#include <string>
#include <vector>

namespace sonarch {

// Reads and edits the text of a mimeapps.list file line by line: every line and group that
// an edit does not concern stays exactly as it was.

// The desktop entries the file names as the default for a type, in their order.
std::vector<std::string> DefaultApplicationsFor(const std::string& text,
                                                const std::string& mimeType);
// The text with `desktopId` as the one default for the type under [Default Applications]
// (the group is added when missing).
std::string WithDefaultApplication(const std::string& text, const std::string& mimeType,
                                   const std::string& desktopId);
// The text without any default for the type, so whatever the desktop would choose by
// itself applies again.
std::string WithoutDefaultApplication(const std::string& text, const std::string& mimeType);

}  // namespace sonarch
