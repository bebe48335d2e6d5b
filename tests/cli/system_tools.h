// Test files made by other programs than the one under test: OpenEXR's,
// libtiff's, ImageMagick's and OpenImageIO's command-line tools.
#pragma once

#include <string>

// `text` quoted for the shell.
std::string Quoted(const std::string& text);

// Runs a command of the system's, its output kept out of the test's; a
// failing command fails the test.
void Make(const std::string& command);
