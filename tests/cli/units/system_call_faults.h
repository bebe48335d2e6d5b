// The test program's own close, fsync and rename, in front of the C
// library's: they log what they are asked and can be made to fail once, so
// that the code under test meets failures a disk gives only rarely.
#pragma once

#include <string>
#include <vector>

// "fsync <path>", "rename <from> <to>" and "close <path>" since the last
// call, paths as the system names the descriptor.
std::vector<std::string> TakeFileCalls();

// The next call of that function fails with `error` (after a close really
// closed the descriptor, as the system does).
void FailNextClose(int error);
void FailNextFsync(int error);
