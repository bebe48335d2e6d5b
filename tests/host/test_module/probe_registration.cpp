// A minimal plug-in: one registration record whose picture is one of the
// module's resources.
#include <hostsdk/hostsdk.h>

namespace {

Operator* CreateProbe(Registry* reg, const ScriptVal& script, const TagList& tags) {
    return new Operator(reg, script, tags);
}

const HostID probeID("Test.ResourceProbe");

Registry probeRecord(&ClassRegistry, probeID,
                     REG_CreateFunc, CreateProbe,
                     REG_PictureID, 101,
                     REG_Name, "Resource probe",
                     TAG_DONE);

}  // namespace
