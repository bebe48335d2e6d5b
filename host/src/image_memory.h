// Accounting of the host-wide image memory budget, for Image itself.
#pragma once

#include <cstddef>

// Counts `bytes` against the budget; throws std::bad_alloc when they would
// exceed it.
void ReserveImageMemory(size_t bytes);
void ReturnImageMemory(size_t bytes);

// Pixel memory for an image, as it comes (an image reads a row of it only
// once it has written it), and its return when the image goes. Blocks of
// frame size are kept for the next image of the same size: the system maps
// and clears a fresh block page by page on first touch, which costs far more
// than reusing a warm one. Throws std::bad_alloc.
unsigned char* TakePixelBlock(size_t bytes);
void ReturnPixelBlock(unsigned char* block, size_t bytes);
