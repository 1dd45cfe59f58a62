// A scratch folder under /tmp for the Desktop 6 tests and benchmarks,
// removed with everything in it when the object goes.
#pragma once

#include "platform/fsutil/ScratchFolder.h"

class D6TempFolder : public ScratchFolder {
public:
    explicit D6TempFolder(const char* pszPrefix = "vw-d6") : ScratchFolder(pszPrefix) { }
};
