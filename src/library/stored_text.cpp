#include "library/stored_text.h"

#include "device/mci/disc_key.h"

namespace sonarch {

std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A character starts at every byte that is not a UTF-8 continuation byte.
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && characters++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

std::string StoredDiscKey(const std::string& discKey) {
    return FirstCharacters(discKey, kStoredKeyLength);
}

}  // namespace sonarch
