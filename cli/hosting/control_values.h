// What a control of the tool accepts, read from the tags the tool declared it
// with: its data type, its kind of control, its items, its range and whether
// it moves in whole steps. The command line keeps no second table of them.
#pragma once

#include <hostsdk/link.h>

#include <string>

namespace taviron::cli {

// True for an input that holds a number set by a control (a checkbox, a
// combo box, a button row, a slider); false for images, points and buttons.
bool HoldsControlValue(const Input& input);

// Throws a usage error when `value` is not one the control offers: a
// checkbox takes 0 or 1, items their positions, a slider its range (whole
// numbers where it moves in whole steps). `what` names the option, `written`
// is the value as the user wrote it.
void CheckControlValue(const Input& input, double value, const std::string& what, const std::string& written);

}  // namespace taviron::cli
