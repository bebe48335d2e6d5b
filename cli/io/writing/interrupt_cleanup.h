// A render ended by a signal (SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM: any
// signal whose default action ends the process, but for the faults of the
// program itself, SIGSEGV and the like) leaves no temporary file and no
// output folder it made and wrote nothing into: the signals are taken by a
// thread of their own, which removes them and ends the program with 128 +
// the signal's number, as shells expect (130, 143, 129). Taking the signals
// on a thread with sigwait, rather than in a handler, lets the removal use a
// lock and the file system freely. SIGPIPE and SIGXFSZ are ignored instead:
// a closed standard output or a file grown past its limit is then a failed
// write, which the render reports and ends on like any other.
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

// A folder the program made, removed on a signal if it is empty; folders
// go in the reverse order of their registration (a folder after its parent).
void RegisterMadeFolder(const std::string& path);
void UnregisterMadeFolder(const std::string& path);

// Told, from the signal's thread, what ended the program before it ends;
// must not wait for anything.
void SetInterruptNotice(void (*notice)(const std::string& message));

}  // namespace taviron::cli
