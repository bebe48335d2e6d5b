#include "about_box.h"

#include "about_text.h"

// The system's MessageBoxA on Windows, the host's box of the same shape
// elsewhere; kept out of the other sources so that <windows.h> stays here.
#include <hostsdk/message_box.h>

void ShowAboutBox() {
    MessageBoxA(nullptr, AboutText, "About this filter", MB_OK);
}
