#include "library/stored_name.h"

#include "device/images/cd_text.h"
#include "library/stored_text.h"

namespace sonarch {

std::string StoredName(std::string_view text) {
    return CleanDiscText(FirstCharacters(CleanDiscText(text), kStoredNameLength));
}

}  // namespace sonarch
