#include "taviron.h"

#include "about_box.h"

#include <contract/combo_items.h>
#include <contract/tool_ids.h>

namespace link_id = taviron::link_id;
using taviron::kFilterMethodCount;
using taviron::kFilterMethodItems;
using taviron::kSampleDirectionItems;

namespace {

// The About button counts as pressed from half way up; a value that is not a
// number (NaN) fails the comparison and so never shows the box.
bool IsPressed(const Parameter* param) {
    const auto* number = dynamic_cast<const Number*>(param);
    return number != nullptr && number->Value >= 0.5;
}

// A control of `kind` whose items are `items`, in their order.
template <size_t Count>
TagList ItemControl(const HostID& kind, const char* const (&items)[Count]) {
    TagList tags(TAG_LinkDataType, ID_Number, TAG_Control, kind, TAG_DONE);
    for (const char* item : items) {
        tags.AddString(TAG_Item, item);
    }
    return tags;
}

// The range is the items' positions, so a method added to the items is one
// the control can reach.
TagList FilterMethodTags() {
    TagList tags = ItemControl(ID_ComboControl, kFilterMethodItems);
    tags.AddInteger(TAG_ComboStyle, 1);
    tags.AddDouble(TAG_RangeMax, static_cast<double>(kFilterMethodCount - 1));
    tags.AddDouble(TAG_RangeMin, 0.0);
    tags.AddDouble(TAG_Default, 0.0);
    tags.AddInteger(TAG_NotifyOnChange, 1);
    tags.AddDouble(TAG_ControlWidth, 1.0);
    return tags;
}

TagList SampleDirectionTags() {
    TagList tags = ItemControl(ID_MultiButtonControl, kSampleDirectionItems);
    tags.AddInteger(TAG_ButtonStyle, 1);
    tags.AddDouble(TAG_Default, 1.0);
    return tags;
}

}  // namespace

// The links are declared in the order the host shows them, which differs from
// the order of the members. Each identifier is a temporary that lives just for
// its call.
Taviron::Taviron(Registry* reg, const ScriptVal& script, const TagList& tags)
    : ThreadedOperator(reg, script, tags) {
    InRed = AddInput(HostID("Red", true), HostID(link_id::kRed, true),
                     TAG_LinkDataType, ID_Number, TAG_Control, ID_CheckboxControl,
                     TAG_Default, 1.0, TAG_ControlWidth, 0.25, TAG_DONE);
    InGreen = AddInput(HostID("Green", true), HostID(link_id::kGreen, true),
                       TAG_LinkDataType, ID_Number, TAG_Control, ID_CheckboxControl,
                       TAG_Default, 1.0, TAG_ControlWidth, 0.25, TAG_DONE);
    InBlue = AddInput(HostID("Blue", true), HostID(link_id::kBlue, true),
                      TAG_LinkDataType, ID_Number, TAG_Control, ID_CheckboxControl,
                      TAG_Default, 1.0, TAG_ControlWidth, 0.25, TAG_DONE);
    InAlpha = AddInput(HostID("Alpha", true), HostID(link_id::kAlpha, true),
                       TAG_LinkDataType, ID_Number, TAG_Control, ID_CheckboxControl,
                       TAG_Default, 1.0, TAG_ControlWidth, 0.25, TAG_DONE);
    InFilterMethod = AddInputTags(HostID("Filter method", true), HostID(link_id::kFilterMethod, true),
                                  FilterMethodTags());
    InSampleDirection = AddInputTags(HostID("Sample Direction", true), HostID(link_id::kSampleDirection, true),
                                     SampleDirectionTags());
    InFrames = AddInput(HostID("Frames", true), HostID(link_id::kFrames, true),
                        TAG_LinkDataType, ID_Number, TAG_Control, ID_SliderControl,
                        TAG_RangeMin, 0.0, TAG_RangeMax, 250.0, TAG_Default, 0.0,
                        TAG_IntegerSteps, 1, TAG_DONE);
    InThreshold = AddInput(HostID("Threshold", true), HostID(link_id::kThreshold, true),
                           TAG_LinkDataType, ID_Number, TAG_Control, ID_SliderControl,
                           TAG_RangeMin, 0.0, TAG_RangeMax, 1.0, TAG_Default, 0.0, TAG_DONE);
    InImage = AddInput(HostID("Input", true), HostID(link_id::kInput, true),
                       TAG_LinkDataType, ID_Image, TAG_LinkRole, 1, TAG_DONE);
    OutImage = AddOutput(HostID("Output", true), HostID(link_id::kOutput, true),
                         TAG_LinkDataType, ID_Image, TAG_LinkRole, 1, TAG_DONE);
    InMask = AddInput(HostID("Mask", true), HostID(link_id::kMask, true),
                      TAG_LinkDataType, ID_Mask, TAG_LinkRole, 3, TAG_LinkOptional, 0, TAG_DONE);
    InUseData = AddInput(HostID("Use tracking data", true), HostID(link_id::kUseData, true),
                         TAG_LinkDataType, ID_Number, TAG_Control, ID_CheckboxControl,
                         TAG_NotifyOnChange, 1, TAG_Default, 0.0, TAG_ControlWidth, 1.0, TAG_DONE);
    InTrackData = AddInput(HostID("Track data", true), HostID(link_id::kTrackData, true),
                           TAG_LinkDataType, ID_Point, TAG_Control, ID_OffsetControl,
                           TAG_SecondControl, ID_CrosshairControl, TAG_DONE);
    InAbout = AddInput(HostID("About", true), HostID(link_id::kAbout, true),
                       TAG_Control, ID_ButtonControl, TAG_NotifyOnChange, 1, TAG_DONE);
}

// The host owns the links; the per-request images are released by Process.
Taviron::~Taviron() = default;

void Taviron::NotifyChanged(Input* in, Parameter* param, double time, TagList* tags) {
    if (param != nullptr) {
        if (in == InAbout && IsPressed(param)) {
            ShowAboutBox();
        }
        if (in == InMask) {
            InMask->NotifyChanged(param, time, 0, tags);
        }
    }
    Operator::NotifyChanged(in, param, time, tags);
}
