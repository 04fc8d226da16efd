#include "platform/FileDialog.h"

namespace tessel::platform {

std::optional<DialogError> FileDialog::showOpen() {
    const PickResult result = picker_.pick(
        {initDir, fileName, filter, (flags & kFlagFileMustExist) == kFlagFileMustExist});
    switch (result.kind) {
        case PickResult::Kind::Chosen:
            fileName = result.value;
            return std::nullopt;
        case PickResult::Kind::Cancelled:
            if (cancelError) {
                return DialogError{kCancelErrorNumber, "Cancel was selected."};
            }
            return std::nullopt;
        case PickResult::Kind::Failed:
            break;
    }
    return DialogError{1, result.value};
}

}  // namespace tessel::platform
