#pragma once

#include "device/drives/drive.h"

typedef struct _CdIo CdIo_t;

namespace sonarch {

// The table of contents libcdio holds for a drive or an image, as it gives it: no tracks
// when it gives none. Whether it makes sense is for the caller to judge.
DiscToc CdioTableOfContents(CdIo_t* cdio);

}  // namespace sonarch
