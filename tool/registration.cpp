// The library's only way in: while it is loaded, these static objects enter
// Taviron into the host's class registry; unloading takes it out again. They
// are built in the order written here and destroyed in the reverse order.
#include "taviron.h"

#include <contract/tool_ids.h>

namespace {

// Plain new: when the heap is exhausted std::bad_alloc travels on to the host
// with nothing constructed, and a constructor that throws gets its memory
// given back before the exception travels on.
Operator* CreateTaviron(Registry* reg, const ScriptVal& script, const TagList& tags) {
    return new Taviron(reg, script, tags);
}

ScriptInfoT<Taviron> TavironScriptInfo(1, taviron::kToolClassID, "", "");

const HostID TavironID(taviron::kToolClassID, true);

// The build stamp stays the date of the first release: stored compositions
// and peers may compare it.
Registry TavironRegistration(&ClassRegistry, TavironID,
                             REG_InitFunc, &Operator::RegInit,
                             REG_CleanupFunc, &Operator::RegCleanup,
                             REG_Version, 3,
                             REG_BuildStamp, "Built: Sep 15 2009",
                             REG_BaseClass, &ThreadedOperator::ClassID,
                             REG_ScriptInfo, &TavironScriptInfo,
                             REG_CreateFunc, &CreateTaviron,
                             REG_PictureID, 101,
                             REG_Name, "Taviron",
                             REG_Category, "Filter",
                             REG_Symbol, "S_1",
                             REG_HelpText, "Filter an image with diffrent algorithms.",
                             REG_Flags, 1,
                             TAG_DONE);

}  // namespace
