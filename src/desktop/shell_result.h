#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sonarch {

// The shell's result codes: 0 to 32 are failures, anything above 32 is success.
inline constexpr int kShellSuccess = 33;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellPathNotFound = 3;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellRequestFailed = 29;
inline constexpr int kShellNoAssociation = 31;

// The error record a failed link leaves.
struct ShellError {
    std::int32_t number = 0;
    std::string source;
    std::string description;
    bool operator==(const ShellError&) const = default;
};

struct ShellOutcome {
    bool success = false;
    ShellError error;  // filled only on failure
};

// The result code for how xdg-open ended: its exit code, or nothing when it could not be
// started at all.
int ShellResultForExit(std::optional<int> exitCode, bool crashed);

// Success for a code above 32 (or below 0); otherwise the error record, its source being
// the program's executable name followed by ".GShell".
ShellOutcome ShellOutcomeFor(int result, const std::string& executableName);

}  // namespace sonarch
