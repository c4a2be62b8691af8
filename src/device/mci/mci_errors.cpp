#include "device/mci/mci_errors.h"

namespace sonarch::mci {

std::string errorText(int code) {
    switch (code) {
        case kOk:
            return "The command completed.";
        case kUnrecognizedKeyword:
            return "The CD audio device does not know a word in this command.";
        case kUnrecognizedCommand:
            return "The CD audio device does not know this command.";
        case kHardware:
            return "The CD drive reported a hardware failure.";
        case kInvalidDeviceName:
            return "The device name is not open or is not known to the CD audio device.";
        case kMissingCommandString:
            return "No command was given to the CD audio device.";
        case kParamOverflow:
            return "The reply does not fit into the reply buffer.";
        case kBadInteger:
            return "A number in the command is not valid.";
        case kDeviceNotReady:
            return "There is no disc in the drive, or the drive is not ready.";
        case kOutOfRange:
            return "The position is outside the disc.";
        case kDuplicateAlias:
            return "A device is already open under this alias.";
        case kBadTimeFormat:
            return "The CD audio device does not support this time format.";
        case kMissingParameter:
            return "The command is missing a value it needs.";
        default:
            return "The CD audio device reported an unknown error.";
    }
}

}  // namespace sonarch::mci
