// Paths of files that the build puts beside the test program (the plug-in,
// the test modules), as Windows paths, whatever the working directory.
#pragma once

#include <string>

std::string BesideProgram(const std::string& fileName);
