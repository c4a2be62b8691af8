#include "desktop/shell_result.h"

namespace sonarch {

namespace {

// The numbers the table gives as "base": 0x80040418 + r, as a signed 32-bit number.
std::int32_t baseNumber(int result) {
    return static_cast<std::int32_t>(0x80040418u + static_cast<std::uint32_t>(result));
}

ShellError recordFor(int r) {
    switch (r) {
        case 0:
        case 8:
            return {7, {}, "Out of memory"};
        case 2:
            return {53, {}, "File not found"};
        case 3:
            return {76, {}, "Path not found"};
        case 5:
            return {75, {}, "Path/file access error"};
        case 11:
            return {baseNumber(r), {}, "The executable file is invalid or corrupt"};
        case 26:
            return {75, {}, "A sharing violation occurred."};
        case 27:
            return {baseNumber(r), {}, "This file type does not have a valid file association."};
        case 28:
            return {286,
                    {},
                    "The file could not be opened due to time out.  Please try again in a moment."};
        case 29:
            return {285,
                    {},
                    "The file could not be opened because the DDE transaction failed.  Please try "
                    "again in a moment."};
        case 30:
            return {285,
                    {},
                    "The file could not be opened because the target application is busy.  Please "
                    "try again in a moment."};
        case 31:
            return {baseNumber(r), {}, "No application is associated with this file type."};
        case 32:
            return {48, {}, "The specified dynamic-link library was not found."};
        default:
            return {baseNumber(r),
                    {},
                    "An error occurred occurred whilst trying to open or print the selected file."};
    }
}

}  // namespace

int ShellResultForExit(std::optional<int> exitCode, bool crashed) {
    if (!exitCode) {
        return kShellNoAssociation;  // no xdg-open: nothing can open anything
    }
    if (crashed) {
        return kShellRequestFailed;
    }
    switch (*exitCode) {
        case 0:
            return kShellSuccess;
        case 2:
            return kShellFileNotFound;
        case 3:
            return kShellNoAssociation;  // no tool for the type
        case 4:
            return kShellRequestFailed;  // the action failed
        case 5:                          // no permission to read
        case 6:
            return kShellAccessDenied;  // no permission to write
        default:
            return 1;  // a wrong command line, or a code of its own
    }
}

ShellOutcome ShellOutcomeFor(int result, const std::string& executableName) {
    if (result > 32 || result < 0) {
        return {true, {}};
    }
    ShellError error = recordFor(result);
    error.source = executableName + ".GShell";
    return {false, std::move(error)};
}

}  // namespace sonarch
