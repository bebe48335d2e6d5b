// std::bad_alloc thrown in a plug-in's row crosses from the plug-in module
// into the host library's worker pool, back into the plug-in's Process and on
// to the host program: every module shares one C++ runtime DLL.
#include "beside_program.h"

#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <gtest/gtest.h>

#include <memory>
#include <new>

namespace {

class ExceptionCrossing : public ::testing::TestWithParam<unsigned> {
protected:
    // The pool is not shrunk back afterwards: under Wine a worker retiring
    // while the process exits gets the whole process killed.
    void SetUp() override {
        SetWorkerThreadCount(GetParam());
        module_ = Module::Load(BesideProgram("throwing_tool.dll"));
        Registry* record = ClassRegistry->Find(HostID("Test.ThrowingTool", true));
        ASSERT_NE(record, nullptr);
        tool_ = record->Create(ScriptVal{}, TagList{});
        ASSERT_NE(tool_, nullptr);
    }

    void TearDown() override {
        if (tool_ != nullptr) {
            tool_->Recycle();
        }
        module_.reset();
    }

    Input* In(const char* id) const { return tool_->FindInput(HostID(id, true)); }
    Output* Caught() const { return tool_->FindOutput(HostID("Caught", true)); }

    std::unique_ptr<Module> module_;
    Operator* tool_ = nullptr;
};

TEST_P(ExceptionCrossing, RowFailureReachesProcessAndTheHost) {
    Request request(tool_, 0.0);
    EXPECT_THROW(tool_->Process(&request), std::bad_alloc);
    ASSERT_TRUE(request.HasOutputData(Caught())) << "DoMultiProcess did not rethrow to its caller";
    Parameter* caught = request.TakeOutputData(Caught());
    ASSERT_NE(caught, nullptr);
    caught->Recycle();
}

TEST_P(ExceptionCrossing, FailureInTheLastRowStillArrives) {
    tool_->SetInputValue(In("FailingRow"), 63.0, 0.0);
    Request request(tool_, 0.0);
    EXPECT_THROW(tool_->Process(&request), std::bad_alloc);
}

TEST_P(ExceptionCrossing, PoolKeepsWorkingAfterAFailure) {
    {
        Request failing(tool_, 0.0);
        EXPECT_THROW(tool_->Process(&failing), std::bad_alloc);
    }
    tool_->SetInputValue(In("FailingRow"), -1.0, 0.0);
    Request request(tool_, 0.0);
    EXPECT_NO_THROW(tool_->Process(&request));
    EXPECT_FALSE(request.HasOutputData(Caught()));
}

// One worker: rows run on the calling thread; four: on the pool's threads.
INSTANTIATE_TEST_SUITE_P(Workers, ExceptionCrossing, ::testing::Values(1u, 4u));

}  // namespace
