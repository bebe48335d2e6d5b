// A test-only plug-in module: one threaded tool whose rows run out of memory.
// Its Process notes on the request that the exception reached the caller of
// DoMultiProcess, then lets it travel on to the host.
#include <hostsdk/hostsdk.h>

#include <new>

namespace {

class ThrowingTool : public ThreadedOperator {
public:
    ThrowingTool(Registry* reg, const ScriptVal& script, const TagList& tags)
        : ThreadedOperator(reg, script, tags),
          rows_(AddInput(HostID("Rows", true), HostID("Rows", true), TAG_LinkDataType, ID_Number, TAG_Default,
                         64.0, TAG_DONE)),
          failingRow_(AddInput(HostID("Failing row", true), HostID("FailingRow", true), TAG_LinkDataType,
                               ID_Number, TAG_Default, 5.0, TAG_DONE)),
          caught_(AddOutput(HostID("Caught", true), HostID("Caught", true), TAG_LinkDataType, ID_Number,
                            TAG_DONE)) {}

    void Process(Request* req) override {
        try {
            DoMultiProcess(req, static_cast<long>(req->GetInputData(rows_)->Value));
        } catch (const std::bad_alloc&) {
            req->SetOutputData(caught_, new Number(1.0));
            throw;
        }
    }

    void ProcessChunk(Request* req, long chunk) override {
        if (chunk == static_cast<long>(req->GetInputData(failingRow_)->Value)) {
            throw std::bad_alloc();
        }
    }

private:
    Input* rows_;
    Input* failingRow_;
    Output* caught_;
};

Operator* CreateThrowingTool(Registry* reg, const ScriptVal& script, const TagList& tags) {
    return new ThrowingTool(reg, script, tags);
}

Registry ThrowingToolRegistration(&ClassRegistry, HostID("Test.ThrowingTool", true),
                                  REG_BaseClass, &ThreadedOperator::ClassID,
                                  REG_CreateFunc, &CreateThrowingTool,
                                  REG_Name, "Throwing tool",
                                  TAG_DONE);

}  // namespace
