// The links that every tool declares: names, IDs and tag lists exactly as the
// host reads them back, their order, and the starting values they give.
#include "support/plugin_fixture.h"

#include <contract/combo_items.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

// One expected (tag, value) pair; the tag's kind says which value counts.
struct ExpectedTag {
    Tag tag;
    double number;      // integer and double tags
    const char* text;   // string and identifier tags

    ExpectedTag(Tag t, double value) : tag(t), number(value), text(nullptr) {}
    ExpectedTag(Tag t, int value) : tag(t), number(value), text(nullptr) {}
    ExpectedTag(Tag t, const char* value) : tag(t), number(0.0), text(value) {}
};

struct ExpectedLink {
    const char* name;
    const char* id;
    std::vector<ExpectedTag> tags;
};

// Checkbox of one colour channel.
ExpectedLink Channel(const char* name) {
    return {name, name, {{0x88020000, "Number"}, {0x80030000, "CheckboxControl"},
                         {0x20030004, 1.0}, {0x20040007, 0.25}}};
}

// The inputs in the order the host lists them (the order of declaration).
const std::vector<ExpectedLink>& ExpectedInputs() {
    static const std::vector<ExpectedLink> inputs = {
        Channel("Red"), Channel("Green"), Channel("Blue"), Channel("Alpha"),
        {"Filter method", "FilterMethod",
         {{0x88020000, "Number"}, {0x80030000, "ComboControl"}, {0x38040000, "Median"},
          {0x38040000, "Average"}, {0x38040000, "Max"}, {0x38040000, "Min"},
          {0x38040000, "Random"}, {0x10050000, 1}, {0x20030001, 4.0}, {0x20030000, 0.0},
          {0x20030004, 0.0}, {0x1003000A, 1}, {0x20040007, 1.0}}},
        {"Sample Direction", "SampleDirection",
         {{0x88020000, "Number"}, {0x80030000, "MultiButtonControl"},
          {0x38040000, "Backward"}, {0x38040000, "Both"}, {0x38040000, "Foreward"},
          {0x1005000A, 1}, {0x20030004, 1.0}}},
        {"Frames", "Frames",
         {{0x88020000, "Number"}, {0x80030000, "SliderControl"}, {0x20030000, 0.0},
          {0x20030001, 250.0}, {0x20030004, 0.0}, {0x1003000C, 1}}},
        {"Threshold", "Threshold",
         {{0x88020000, "Number"}, {0x80030000, "SliderControl"}, {0x20030000, 0.0},
          {0x20030001, 1.0}, {0x20030004, 0.0}}},
        {"Input", "Input", {{0x88020000, "Image"}, {0x10020001, 1}}},
        {"Mask", "Mask", {{0x88020000, "Mask"}, {0x10020001, 3}, {0x10030002, 0}}},
        {"Use tracking data", "UseData",
         {{0x88020000, "Number"}, {0x80030000, "CheckboxControl"}, {0x1003000A, 1},
          {0x20030004, 0.0}, {0x20040007, 1.0}}},
        {"Track data", "TrackData",
         {{0x88020000, "Point"}, {0x80030000, "OffsetControl"},
          {0x80030001, "CrosshairControl"}}},
        {"About", "About", {{0x80030000, "ButtonControl"}, {0x1003000A, 1}}},
    };
    return inputs;
}

const ExpectedLink& ExpectedOutput() {
    static const ExpectedLink output = {"Output", "Output",
                                        {{0x88020000, "Image"}, {0x10020001, 1}}};
    return output;
}

void ExpectLink(const Link& link, const ExpectedLink& expected) {
    SCOPED_TRACE(expected.id);
    EXPECT_STREQ(link.Name().Text(), expected.name);
    EXPECT_STREQ(link.ID().Text(), expected.id);
    const TagList& tags = link.Tags();
    ASSERT_EQ(tags.Size(), expected.tags.size());
    for (size_t i = 0; i < tags.Size(); ++i) {
        SCOPED_TRACE("pair " + std::to_string(i + 1));
        const ExpectedTag& want = expected.tags[i];
        ASSERT_EQ(tags[i].tag, want.tag);
        switch (KindOf(want.tag)) {
        case TagKind::Integer: EXPECT_EQ(tags[i].integer, int32_t(want.number)); break;
        case TagKind::Double: EXPECT_EQ(tags[i].number, want.number); break;
        case TagKind::String: EXPECT_EQ(tags[i].text, want.text); break;
        case TagKind::Identifier: EXPECT_STREQ(tags[i].id.Text(), want.text); break;
        default: ADD_FAILURE() << "unexpected tag kind";
        }
    }
}

using Links = TavironPlugin;

TEST_F(Links, InputsAreDeclaredInOrderWithTheirTagLists) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    const std::vector<ExpectedLink>& expected = ExpectedInputs();
    ASSERT_EQ(tool->Inputs().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ExpectLink(*tool->Inputs()[i], expected[i]);
    }
}

TEST_F(Links, OneImageOutputIsDeclared) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    ASSERT_EQ(tool->Outputs().size(), 1u);
    ExpectLink(*tool->Outputs()[0], ExpectedOutput());
}

TEST_F(Links, DataIdentifiersAreTheHostsConstants) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(InputOf(tool, "Frames")->DataType(), ID_Number);
    EXPECT_EQ(InputOf(tool, "Input")->DataType(), ID_Image);
    EXPECT_EQ(InputOf(tool, "Mask")->DataType(), ID_Mask);
    EXPECT_EQ(InputOf(tool, "TrackData")->DataType(), ID_Point);
    EXPECT_TRUE(InputOf(tool, "About")->DataType().IsEmpty());
    EXPECT_EQ(InputOf(tool, "About")->Tags().GetID(TAG_Control), ID_ButtonControl);
}

TEST_F(Links, FreshToolStartsWithMedianBothDirectionsAndNoFrames) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(InputOf(tool, "FilterMethod")->Value(), 0.0);
    EXPECT_EQ(InputOf(tool, "SampleDirection")->Value(), 1.0);
    EXPECT_EQ(InputOf(tool, "Frames")->Value(), 0.0);
    EXPECT_EQ(InputOf(tool, "Threshold")->Value(), 0.0);
    for (const char* channel : {"Red", "Green", "Blue", "Alpha"}) {
        EXPECT_EQ(InputOf(tool, channel)->Value(), 1.0) << channel;
    }
    EXPECT_EQ(InputOf(tool, "UseData")->Value(), 0.0);

    const TagList& methods = InputOf(tool, "FilterMethod")->Tags();
    EXPECT_EQ(methods.GetStrings(TAG_Item),
              (std::vector<std::string>{"Median", "Average", "Max", "Min", "Random"}));
    const TagList& directions = InputOf(tool, "SampleDirection")->Tags();
    EXPECT_EQ(directions.GetStrings(TAG_Item),
              (std::vector<std::string>{"Backward", "Both", "Foreward"}));
}

// The items the host shows, the range it holds the value to and the table
// the filter and the command line read are one list: every item's position
// is a value the control takes, and no value beyond the last item.
TEST_F(Links, ItemControlsShowTheContractsItemsAndReachEachOne) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    const TagList& methods = InputOf(tool, "FilterMethod")->Tags();
    EXPECT_EQ(methods.GetStrings(TAG_Item),
              std::vector<std::string>(std::begin(taviron::kFilterMethodItems), std::end(taviron::kFilterMethodItems)));
    EXPECT_EQ(methods.GetDouble(TAG_RangeMin, -1.0), 0.0);
    EXPECT_EQ(methods.GetDouble(TAG_RangeMax, -1.0), static_cast<double>(taviron::kFilterMethodCount - 1));
    EXPECT_EQ(static_cast<int>(taviron::FilterMethod::Random), taviron::kFilterMethodCount - 1);

    const TagList& directions = InputOf(tool, "SampleDirection")->Tags();
    EXPECT_EQ(directions.GetStrings(TAG_Item),
              std::vector<std::string>(std::begin(taviron::kSampleDirectionItems),
                                       std::end(taviron::kSampleDirectionItems)));
}

TEST_F(Links, EveryToolHasLinksOfItsOwn) {
    Operator* first = CreateTool();
    Operator* second = CreateTool();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(first->Inputs().size(), 13u);
    ASSERT_EQ(second->Inputs().size(), 13u);
    for (size_t i = 0; i < 13; ++i) {
        EXPECT_NE(first->Inputs()[i], second->Inputs()[i]);
        EXPECT_EQ(first->Inputs()[i]->Owner(), first);
        EXPECT_EQ(second->Inputs()[i]->Owner(), second);
    }
    EXPECT_NE(first->Outputs()[0], second->Outputs()[0]);

    // Changing one tool's control leaves the other's alone.
    InputOf(first, "Frames")->SetValue(7.0);
    EXPECT_EQ(InputOf(second, "Frames")->Value(), 0.0);
}

}  // namespace
