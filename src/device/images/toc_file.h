#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonarch {

struct TocFileCopy {
    std::string text;                    // the TOC file with every data file named in full
    std::vector<std::string> dataFiles;  // the files it names, in full, in order
};

// libcdio looks for the files a cdrdao TOC file names in the current folder rather than
// beside the TOC file. The copy names them by full path (relative names are taken from
// `folder`, the TOC file's own), so that it reads right from anywhere.
TocFileCopy TocFileWithFullPaths(std::string_view text, const std::string& folder);

}  // namespace sonarch
