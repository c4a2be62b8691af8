#pragma once

#include <string>

namespace sonarch {

// What the build says about the product, set once in CMake: the version ("0.1.0"), the web
// page and the support e-mail address.
std::string ProgramVersion();
std::string ProductWebPage();
std::string SupportAddress();

}  // namespace sonarch
