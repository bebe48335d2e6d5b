// An interrupted render (SIGINT, SIGTERM, SIGHUP) leaves no temporary file:
// the signals are taken by a thread of their own, which removes the
// temporary files being written and ends the program with 128 + the signal's
// number, as shells expect (130, 143, 129). Taking the signals on a thread
// with sigwait, rather than in a handler, lets the removal use a lock and
// the file system freely.
#pragma once

#include <string>

namespace taviron::cli {

// Blocks the signals in the calling thread, and so in every thread started
// after it, and starts the thread that waits for them. Call it first thing
// in main.
void RemoveTemporaryFilesOnInterrupt();

// A temporary file from before it is created until it is renamed or removed.
void RegisterTemporaryFile(const std::string& path);
void UnregisterTemporaryFile(const std::string& path);

}  // namespace taviron::cli
