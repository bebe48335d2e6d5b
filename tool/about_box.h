// The modal About box of the tool.
#pragma once

// Shows the About text and returns when the user dismisses the box.
void ShowAboutBox();
