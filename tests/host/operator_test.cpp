#include <hostsdk/hostsdk.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Records what the host tells it.
class RecordingOperator : public Operator {
public:
    RecordingOperator() : Operator(nullptr, ScriptVal{}, TagList()) {
        Frames = AddInput(HostID("Frames"), HostID("Frames"), TAG_LinkDataType, ID_Number, TAG_Default, 3.0, TAG_DONE);
        About = AddInput(HostID("About"), HostID("About"), TAG_Control, ID_ButtonControl, TAG_DONE);
        Picture = AddInput(HostID("Input"), HostID("Input"), TAG_LinkDataType, ID_Image, TAG_DONE);
        Out = AddOutput(HostID("Output"), HostID("Output"), TAG_LinkDataType, ID_Image, TAG_DONE);
    }

    void NotifyChanged(Input* in, Parameter* param, double time, TagList* tags) override {
        changedInput = in;
        changedValue = param ? static_cast<Number*>(param)->Value : -1.0;
        changedValueWasLive = _Object::IsLive(param);
        changedNumber = param;
        changedTime = time;
        Operator::NotifyChanged(in, param, time, tags);
    }

    Input* Frames;
    Input* About;
    Input* Picture;
    Output* Out;

    Input* changedInput = nullptr;
    double changedValue = -1.0;
    bool changedValueWasLive = false;
    const Parameter* changedNumber = nullptr;
    double changedTime = -1.0;
};

// Gives a new Number of the time asked for.
class ClockSource : public Source {
public:
    Parameter* Fetch(double time) override {
        fetches.push_back(time);
        return new Number(time);
    }
    std::vector<double> fetches;
};

}  // namespace

TEST(Operator, DeclaresLinksInOrderAndFindsThem) {
    RecordingOperator op;
    ASSERT_EQ(op.Inputs().size(), 3u);
    ASSERT_EQ(op.Outputs().size(), 1u);
    EXPECT_EQ(op.FindInput(HostID("About")), op.About);
    EXPECT_EQ(op.FindInput(HostID("Nothing")), nullptr);
    EXPECT_EQ(op.FindOutput(HostID("Output")), op.Out);
    EXPECT_EQ(op.IndexOf(op.Picture), 2);
    EXPECT_EQ(op.IndexOf(op.Out), 0);

    RecordingOperator other;
    EXPECT_EQ(op.IndexOf(other.Frames), -1);
    EXPECT_EQ(op.IndexOf(other.Out), -1);

    EXPECT_EQ(op.Frames->Owner(), &op);
    EXPECT_STREQ(op.Frames->Name().Text(), "Frames");
    EXPECT_EQ(op.Frames->DataType(), ID_Number);
    EXPECT_TRUE(op.About->DataType().IsEmpty());
    EXPECT_EQ(op.About->Tags().GetID(TAG_Control), ID_ButtonControl);
}

TEST(Operator, ReleasesItsLinksWhenDestroyed) {
    const size_t before = _Object::LiveCount();
    {
        RecordingOperator op;
        EXPECT_EQ(_Object::LiveCount(), before + 5);  // the operator and its four links
    }
    EXPECT_EQ(_Object::LiveCount(), before);
}

TEST(Operator, InputStartsAtItsDefault) {
    RecordingOperator op;
    EXPECT_EQ(op.Frames->Value(), 3.0);
    EXPECT_EQ(op.About->Value(), 0.0);
}

TEST(Operator, SetInputValueNotifiesWithATemporaryNumber) {
    RecordingOperator op;
    const size_t before = _Object::LiveCount();
    const uint64_t stampBefore = NextChangeStamp();
    op.SetInputValue(op.About, 1.0, 12.0);

    EXPECT_EQ(op.About->Value(), 1.0);
    EXPECT_EQ(op.changedInput, op.About);
    EXPECT_EQ(op.changedValue, 1.0);
    EXPECT_EQ(op.changedTime, 12.0);
    EXPECT_TRUE(op.changedValueWasLive);
    EXPECT_FALSE(_Object::IsLive(op.changedNumber));
    EXPECT_EQ(_Object::LiveCount(), before);
    EXPECT_GT(op.LastChange(), stampBefore);
}

TEST(Operator, ChangeStampsOnlyGrow) {
    RecordingOperator op;
    EXPECT_EQ(op.Picture->LastChange(), 0u);
    op.Picture->NotifyChanged(nullptr, 0.0, 0, nullptr);
    const uint64_t first = op.Picture->LastChange();
    op.NotifyChanged(op.Picture, nullptr, 0.0, nullptr);
    EXPECT_GT(op.LastChange(), first);
    op.Picture->NotifyChanged(nullptr, 0.0, 0, nullptr);
    EXPECT_GT(op.Picture->LastChange(), op.LastChange());
}

TEST(Input, FetchesFromItsSource) {
    RecordingOperator op;
    EXPECT_FALSE(op.Picture->IsConnected());
    EXPECT_EQ(op.Picture->GetSource(1.0), nullptr);

    auto clock = std::make_shared<ClockSource>();
    op.Picture->Connect(clock);
    EXPECT_TRUE(op.Picture->IsConnected());
    Parameter* value = op.Picture->GetSource(4.5);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(static_cast<Number*>(value)->Value, 4.5);
    value->Recycle();
    EXPECT_EQ(clock->fetches, std::vector<double>{4.5});
}

TEST(Request, SnapshotsInputValuesWhenMade) {
    RecordingOperator op;
    op.About->SetValue(1.0);
    Request request(&op, 10.5);
    op.Frames->SetValue(9.0);

    EXPECT_EQ(request.Time(), 10.5);
    EXPECT_EQ(request.Target(), &op);
    EXPECT_EQ(request.GetInputData(op.Frames)->Value, 3.0);
    EXPECT_EQ(request.GetInputData(op.About)->Value, 1.0);
    EXPECT_EQ(Request(&op, 0.0).GetInputData(op.Frames)->Value, 9.0);
}

TEST(Request, RefusesInputsOfAnotherOperator) {
    RecordingOperator op;
    RecordingOperator other;
    Request request(&op, 0.0);
    EXPECT_THROW(request.GetInputData(other.Frames), std::invalid_argument);
    EXPECT_THROW(request.GetInputData(nullptr), std::invalid_argument);
}

TEST(Request, HoldsTheOutputValueUntilTaken) {
    RecordingOperator op;
    Request request(&op, 0.0);
    EXPECT_FALSE(request.HasOutputData(op.Out));

    Image* first = new Image(2, 2);
    Image* second = new Image(2, 2);
    EXPECT_TRUE(request.SetOutputData(op.Out, first));
    EXPECT_TRUE(request.SetOutputData(op.Out, second));
    EXPECT_FALSE(_Object::IsLive(first));  // replaced: released by the request
    EXPECT_TRUE(request.HasOutputData(op.Out));

    Parameter* taken = request.TakeOutputData(op.Out);
    EXPECT_EQ(taken, second);
    EXPECT_EQ(request.TakeOutputData(op.Out), nullptr);
    EXPECT_TRUE(request.HasOutputData(op.Out));
    taken->Recycle();
}

TEST(Request, NoneIsAnOutputToo) {
    RecordingOperator op;
    Request request(&op, 0.0);
    EXPECT_TRUE(request.SetOutputData(op.Out, nullptr));
    EXPECT_TRUE(request.HasOutputData(op.Out));
    EXPECT_EQ(request.TakeOutputData(op.Out), nullptr);
}

TEST(Request, LeavesAForeignOutputsValueToTheCaller) {
    RecordingOperator op;
    RecordingOperator other;
    Request request(&op, 0.0);
    Number* value = new Number(1.0);
    EXPECT_FALSE(request.SetOutputData(other.Out, value));
    EXPECT_TRUE(_Object::IsLive(value));
    EXPECT_FALSE(request.HasOutputData(other.Out));
    value->Recycle();
}

TEST(Request, ReleasesEverythingItHolds) {
    RecordingOperator op;
    const size_t before = _Object::LiveCount();
    Image* output = nullptr;
    {
        Request request(&op, 0.0);
        EXPECT_EQ(_Object::LiveCount(), before + op.Inputs().size());
        output = new Image(1, 1);
        request.SetOutputData(op.Out, output);
    }
    EXPECT_FALSE(_Object::IsLive(output));
    EXPECT_EQ(_Object::LiveCount(), before);
}
