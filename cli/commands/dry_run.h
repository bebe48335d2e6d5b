// `render --dry-run`: what a render would read, write and skip, and its
// window, printed without decoding or writing anything, and the status the
// render would end with for the files that are not there.
#pragma once

#include "errors.h"
#include "commands/render_plan.h"

namespace taviron::cli {

// Returns 2 when a frame of the range lacks its input file, mask file or
// track points, as the render would fail it, and tells a farm manager so when
// it reads the render's messages; else 0. With --skip-existing, frames whose
// complete output exists are left.
int RunDryRun(const RenderPlan& plan, const RenderOptions& options);

}  // namespace taviron::cli
