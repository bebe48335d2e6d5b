// For tests of a tool: which controls a request reads, and in what order.
#pragma once

#include <hostsdk/export.h>

class Input;
class Request;

// Told of every Request::GetInputData, on the calling thread (the rows of a
// request call it from several at once). nullptr (the start) tells nothing.
// The observer must not call into the host.
using InputReadObserver = void (*)(const Request* request, const Input* input);
HOST_API void SetInputReadObserver(InputReadObserver observer);
