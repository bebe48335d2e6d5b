// The tile kernel for AVX2; this file alone is compiled with its instruction set.
#include "tile_kernel.h"

namespace taviron {

void FilterTileAvx2(const TileJob& job) { simd::FilterTile<simd::VecAvx2>(job); }

}  // namespace taviron
