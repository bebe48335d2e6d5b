// Modal message boxes. On Windows tools call the system's MessageBoxA; on
// other systems the host library provides one of the same shape, which a
// host program directs where it likes (a terminal, a test's record).
#pragma once

#include <hostsdk/export.h>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <functional>

constexpr unsigned MB_OK = 0;

// Shows the box and returns the button pressed (1 for OK), or 0 when no
// handler is set.
HOST_API int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style);

using MessageBoxHandler = std::function<int(const char* text, const char* caption, unsigned style)>;
// Directs MessageBoxA to `handler` (empty: to nowhere); returns the one before.
HOST_API MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
#endif
