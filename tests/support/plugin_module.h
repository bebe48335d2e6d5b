// Loading the Taviron plug-in module as a host program does, and reaching a
// tool's links by ID. For tests, fuzzers and benchmarks alike.
#pragma once

#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <memory>
#include <string>

// The built module (taviron.so / taviron.dll).
std::string TavironModulePath();

// Loads the built module; throws ModuleError when it cannot be loaded.
std::unique_ptr<Module> LoadTavironModule();

// The tool's registration record, or nullptr when none is entered in the
// class registry.
Registry* FindTavironRecord();

// The tool's input or output with this ID; throws std::runtime_error when
// there is none.
Input* InputOf(const Operator* tool, const char* id);
Output* OutputOf(const Operator* tool, const char* id);
