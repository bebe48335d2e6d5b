// The tile kernel for SSE2, the baseline that every x86-64 CPU has.
#include "tile_kernel.h"

namespace taviron {

void FilterTileSse2(const TileJob& job) { simd::FilterTile<simd::VecSse2>(job); }

}  // namespace taviron
