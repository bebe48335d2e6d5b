// The export directory of a module loaded in this process, read from the
// module's own PE headers in memory: what the loader would resolve
// GetProcAddress against.
#pragma once

#include <windows.h>

struct ExportCounts {
    DWORD directorySize = 0;  // 0: the module has no export directory at all
    DWORD functions = 0;
    DWORD names = 0;

    bool Empty() const { return directorySize == 0 || (functions == 0 && names == 0); }
};

ExportCounts ExportCountsOf(HMODULE module);
