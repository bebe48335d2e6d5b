// The text of the About box.
#pragma once

// Eight lines joined by line feeds, without one after the last.
extern const char* const AboutText;
