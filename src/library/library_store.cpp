#include "library/library_store.h"

#include "library/open_library.h"

namespace sonarch {

bool LibraryStore::isAvailable(const std::string& path) {
    return IsLibraryAvailable(path);
}

}  // namespace sonarch
