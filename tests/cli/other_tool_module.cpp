// A test-only plug-in module that registers a tool of another ID, with a
// creation function, and nothing under the Taviron ID.
#include <hostsdk/hostsdk.h>

namespace {

class OtherTool : public Operator {
public:
    OtherTool(Registry* reg, const ScriptVal& script, const TagList& tags) : Operator(reg, script, tags) {
        AddInput(HostID("Input", true), HostID("Input", true), TAG_LinkDataType, ID_Image, TAG_DONE);
        AddOutput(HostID("Output", true), HostID("Output", true), TAG_LinkDataType, ID_Image, TAG_DONE);
    }
};

Operator* CreateOtherTool(Registry* reg, const ScriptVal& script, const TagList& tags) {
    return new OtherTool(reg, script, tags);
}

Registry OtherToolRegistration(&ClassRegistry, HostID("Other.Tool", true), REG_CreateFunc, &CreateOtherTool,
                               REG_Name, "Other tool", TAG_DONE);

}  // namespace
