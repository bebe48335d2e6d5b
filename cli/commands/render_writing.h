// The last step of a render: each frame of the plan filtered by the tool as
// the schedule has its window ready, queued for the writers, and the render
// reported: every failure named once, the frames not written listed, a
// summary of what was done.
#pragma once

#include "commands/render_options.h"
#include "commands/render_plan.h"
#include "commands/render_schedule.h"
#include "hosting/plugin_session.h"
#include "io/core_share.h"

namespace taviron::cli {

// Returns the exit status; throws CliError for a fault that stops the render.
// Decoding and writing take turns of `cores`, which must outlive the session.
int WriteRender(PluginSession& session, const RenderPlan& plan, RenderSchedule& schedule, const RenderOptions& options,
                CoreShare& cores);

}  // namespace taviron::cli
