// How a tool reacts to changes of its inputs: the About box, the mask input
// told of its own change first, and the base operator told last, always.
#include "support/plugin_fixture.h"

#include <contract/tool_ids.h>
#include <hostsdk/message_box.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

namespace link_id = taviron::link_id;

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned style;
    uint64_t stamp;  // host change clock when the box was shown
};

const char* const ExpectedAboutText =
    "Taviron 1.003 by Jonas Orlemby\n"
    "http://www.orlemby.example/taviron\n"
    "jonas@orlemby.example\n"
    "Freeware\n"
    "\n"
    "\n"
    "Taviron is a temporal filter that samples each pixel from a specified\n"
    " amount of frames and then applies an algorithm on each pixel.";

class Notification : public TavironPlugin {
protected:
    void SetUp() override {
        TavironPlugin::SetUp();
        tool = CreateTool();
        ASSERT_NE(tool, nullptr);
#if !defined(_WIN32)
        previousHandler = SetMessageBoxHandler(
            [this](const char* text, const char* caption, unsigned style) {
                shown.push_back({text, caption, style, NextChangeStamp()});
                return 1;
            });
#endif
    }

    void TearDown() override {
#if !defined(_WIN32)
        SetMessageBoxHandler(previousHandler);
#endif
        TavironPlugin::TearDown();
    }

    // Tells the tool that `input` changed to `value`, as the host does.
    void Change(Input* input, double value) {
        Number number(value);
        TagList tags;
        tool->NotifyChanged(input, &number, 12.0, &tags);
    }

    Operator* tool = nullptr;
    std::vector<ShownBox> shown;
#if !defined(_WIN32)
    MessageBoxHandler previousHandler;
#endif
};

// The About box itself is the system's on Windows and cannot be watched there.
#if defined(_WIN32)
#  define SKIP_WITHOUT_BOX_RECORD() GTEST_SKIP() << "the system's message box cannot be recorded"
#else
#  define SKIP_WITHOUT_BOX_RECORD() (void)0
#endif

TEST_F(Notification, PressingAboutShowsTheTextOnceThenReachesTheBase) {
    SKIP_WITHOUT_BOX_RECORD();
    Change(InputOf(tool, link_id::kAbout), 1.0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, ExpectedAboutText);
    EXPECT_EQ(shown[0].caption, "About this filter");
    EXPECT_EQ(shown[0].style, MB_OK);
    EXPECT_NE(tool->LastChange(), 0u);
}

TEST_F(Notification, AboutShowsFromHalfUpOnly) {
    SKIP_WITHOUT_BOX_RECORD();
    Input* about = InputOf(tool, link_id::kAbout);
    Change(about, 0.5);
    EXPECT_EQ(shown.size(), 1u) << "0.5 counts as pressed";
    Change(about, std::nextafter(0.5, 0.0));
    EXPECT_EQ(shown.size(), 1u) << "the double just below 0.5 does not";
    Change(about, 0.4999);
    Change(about, 0.0);
    Change(about, -1.0);
    Change(about, std::nan(""));
    EXPECT_EQ(shown.size(), 1u) << "below 0.5 or not a number shows nothing";
    Change(about, 1.0);
    Change(about, 1.0);
    EXPECT_EQ(shown.size(), 3u) << "every press shows the box again";
}

TEST_F(Notification, BaseIsToldOfEveryChangeAfterTheBox) {
    SKIP_WITHOUT_BOX_RECORD();
    Input* about = InputOf(tool, link_id::kAbout);
    Change(about, 1.0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GT(tool->LastChange(), shown[0].stamp) << "the base runs after the box is dismissed";
    const uint64_t afterPress = tool->LastChange();
    Change(about, 0.0);
    EXPECT_GT(tool->LastChange(), afterPress);
}

TEST_F(Notification, NoParameterShowsNothingButReachesTheBase) {
    SKIP_WITHOUT_BOX_RECORD();
    Input* about = InputOf(tool, link_id::kAbout);
    Input* mask = InputOf(tool, link_id::kMask);
    TagList tags;
    tool->NotifyChanged(about, nullptr, 0.0, &tags);
    EXPECT_TRUE(shown.empty());
    const uint64_t afterAbout = tool->LastChange();
    EXPECT_NE(afterAbout, 0u);
    tool->NotifyChanged(mask, nullptr, 0.0, &tags);
    EXPECT_EQ(mask->LastChange(), 0u) << "the mask is told nothing without a parameter";
    EXPECT_GT(tool->LastChange(), afterAbout);
}

TEST_F(Notification, MaskChangeReachesTheMaskFirstAndTheBaseSecondWithTheSameArguments) {
    Input* mask = InputOf(tool, link_id::kMask);
    Number number(1.0);
    TagList tags(TAG_Default, 2.0, TAG_DONE);
    tool->NotifyChanged(mask, &number, 37.5, &tags);

    const Input::Notification& toMask = mask->LastNotification();
    EXPECT_EQ(toMask.param, &number);
    EXPECT_EQ(toMask.time, 37.5);
    EXPECT_EQ(toMask.flags, 0u);
    EXPECT_EQ(toMask.tags, &tags);

    const Operator::Notification& toBase = tool->LastNotification();
    EXPECT_EQ(toBase.input, mask);
    EXPECT_EQ(toBase.param, &number);
    EXPECT_EQ(toBase.time, 37.5);
    EXPECT_EQ(toBase.tags, &tags);
    EXPECT_NE(toMask.stamp, 0u);
    EXPECT_GT(toBase.stamp, toMask.stamp) << "the base is told second";
    EXPECT_TRUE(shown.empty());
}

TEST_F(Notification, BaseGetsTheFourArgumentsOfAnyChangeUnchanged) {
    Input* frames = InputOf(tool, link_id::kFrames);
    Number number(4.0);
    TagList tags;
    tool->NotifyChanged(frames, &number, -2.25, &tags);
    const Operator::Notification& toBase = tool->LastNotification();
    EXPECT_EQ(toBase.input, frames);
    EXPECT_EQ(toBase.param, &number);
    EXPECT_EQ(toBase.time, -2.25);
    EXPECT_EQ(toBase.tags, &tags);

    tool->NotifyChanged(InputOf(tool, link_id::kMask), nullptr, 3.0, nullptr);
    EXPECT_EQ(tool->LastNotification().param, nullptr);
    EXPECT_EQ(tool->LastNotification().time, 3.0);
    EXPECT_EQ(tool->LastNotification().tags, nullptr);
}

TEST_F(Notification, OtherInputsReachOnlyTheBase) {
    Input* mask = InputOf(tool, link_id::kMask);
    for (const char* id : {"Frames", "Red", "FilterMethod", "TrackData", "Input"}) {
        Input* input = InputOf(tool, id);
        const uint64_t before = tool->LastChange();
        Change(input, 1.0);
        EXPECT_GT(tool->LastChange(), before) << id;
        EXPECT_EQ(input->LastChange(), 0u) << id;
    }
    EXPECT_EQ(mask->LastChange(), 0u);
    EXPECT_TRUE(shown.empty());
}

}  // namespace
