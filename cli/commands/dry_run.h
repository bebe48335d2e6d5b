// `render --dry-run`: what a render would read, write and skip, and its
// window, printed without decoding or writing anything, and the status the
// render would end with for the files that are not there.
#pragma once

#include "errors.h"
#include "commands/render_plan.h"

namespace taviron::cli {

// 2 when a frame of the range lacks its input file, mask file or track
// points, as the render would fail it; else 0. `skipExisting`: frames whose
// complete output exists are left.
ExitStatus PrintDryRun(const RenderPlan& plan, bool skipExisting);

}  // namespace taviron::cli
