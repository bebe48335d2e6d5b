// Symbol visibility of the host library. Host programs and plug-ins import
// these symbols; only the host library itself exports them.
#pragma once

#if defined(_WIN32)
#  if defined(HOSTSDK_BUILDING)
#    define HOST_API __declspec(dllexport)
#  else
#    define HOST_API __declspec(dllimport)
#  endif
#else
#  define HOST_API __attribute__((visibility("default")))
#endif
