// A replacement of the global operator new of the test program that can be
// told to fail. On ELF systems a plug-in module's and the host library's
// allocations resolve to the program's replacement too, so a test can starve
// the creation of a tool at any chosen allocation.
#pragma once

// From now on, on the calling thread, lets `successes` allocations through
// and makes the next one throw std::bad_alloc (or return null for the nothrow
// forms). Other threads are not affected.
void FailAllocationAfter(long successes);
// Back to normal allocation on the calling thread.
void StopFailingAllocations();
// Whether an allocation failed since the last FailAllocationAfter.
bool AllocationFailed();
