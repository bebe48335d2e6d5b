// Accounting of the host-wide image memory budget, for Image itself.
#pragma once

#include <cstddef>

// Counts `bytes` against the budget; throws std::bad_alloc when they would
// exceed it.
void ReserveImageMemory(size_t bytes);
void ReturnImageMemory(size_t bytes);
