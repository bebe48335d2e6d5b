#include "hosting/control_values.h"

#include "errors.h"
#include "number_text.h"
#include "hosting/control_settings.h"

#include <OpenImageIO/strutil.h>
#include <hostsdk/ids.h>
#include <hostsdk/tag_list.h>

#include <cmath>
#include <vector>

namespace taviron::cli {

namespace {

bool IsWhole(double value) { return std::floor(value) == value; }

// "0 (backward), 1 (both) or 2 (forward)"
std::string NumberedItems(const std::vector<std::string>& items) {
    std::vector<std::string> numbered;
    for (size_t i = 0; i < items.size(); ++i) numbered.push_back(OIIO::Strutil::fmt::format("{} ({})", i, CommandLineWord(items[i])));
    return Choices(numbered);
}

void CheckRange(const TagList& tags, double value, const std::string& what, const std::string& written) {
    const bool hasMin = tags.Find(TAG_RangeMin) != nullptr;
    const bool hasMax = tags.Find(TAG_RangeMax) != nullptr;
    const double min = tags.GetDouble(TAG_RangeMin, 0.0);
    const double max = tags.GetDouble(TAG_RangeMax, 0.0);
    if ((hasMin && !(value >= min)) || (hasMax && !(value <= max)))
        throw UsageError(what + " must lie in " + (hasMin ? NumberText(min) : "?") + " .. " +
                         (hasMax ? NumberText(max) : "?") + ", not " + written);
}

}  // namespace

bool HoldsControlValue(const Input& input) {
    const TagList& tags = input.Tags();
    return input.DataType() == ID_Number && tags.Find(TAG_Control) != nullptr &&
           !(tags.GetID(TAG_Control) == ID_ButtonControl);
}

void CheckControlValue(const Input& input, double value, const std::string& what, const std::string& written) {
    const TagList& tags = input.Tags();
    if (!std::isfinite(value)) throw UsageError(what + " takes a number, not " + written);
    if (tags.GetID(TAG_Control) == ID_CheckboxControl) {
        if (value != 0.0 && value != 1.0) throw UsageError(what + " takes 0 (off) or 1 (on), not " + written);
        return;
    }
    const std::vector<std::string> items = tags.GetStrings(TAG_Item);
    if (!items.empty() && (!IsWhole(value) || value < 0 || value >= static_cast<double>(items.size())))
        throw UsageError(what + " takes " + NumberedItems(items) + ", not " + written);
    CheckRange(tags, value, what, written);
    if (tags.GetInteger(TAG_IntegerSteps, 0) != 0 && !IsWhole(value))
        throw UsageError(what + " takes whole numbers, not " + written);
}

}  // namespace taviron::cli
