// The tile kernel for AVX-512F; this file alone is compiled with its instruction set.
#include "tile_kernel.h"

namespace taviron {

void FilterTileAvx512(const TileJob& job) { simd::FilterTile<simd::VecAvx512>(job); }

}  // namespace taviron
