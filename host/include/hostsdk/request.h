// A request for one frame of an operator. It carries the frame's time and a
// snapshot of every input's control value taken when it was made, so the
// values stay fixed while the request runs, whatever the user does meanwhile.
#pragma once

#include <hostsdk/export.h>

#include <cstdint>
#include <vector>

class Input;
class Number;
class Operator;
class Output;
class Parameter;

class HOST_API Request {
public:
    Request(Operator* op, double time);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    double Time() const { return time_; }
    Operator* Target() const { return op_; }

    // The input's value for this request: never null, owned by the request,
    // not to be released. Safe to call from several threads at once.
    // Throws std::invalid_argument for an input of another operator.
    Number* GetInputData(Input* input, uint32_t flags = 0) const;

    // The request takes over the caller's reference to `value` (which may be
    // nullptr: no output). A value set earlier for the same output is
    // released. Returns false for an output of another operator; `value` then
    // stays the caller's to release.
    bool SetOutputData(Output* output, Parameter* value);

    // Working state that the operator keeps for this request alone (its
    // gathered frames, say), reachable from every chunk of it. The request
    // neither owns nor frees it.
    void SetOperatorData(void* data) { operatorData_ = data; }
    void* OperatorData() const { return operatorData_; }

    // For the host: whether the operator set this output, and its value with
    // the request's reference handed to the caller.
    bool HasOutputData(Output* output) const;
    Parameter* TakeOutputData(Output* output);

private:
    Operator* op_;
    double time_;
    std::vector<Number*> values_;      // one per input, in the operator's order
    std::vector<Parameter*> outputs_;  // one per output
    std::vector<bool> outputSet_;
    void* operatorData_ = nullptr;
};
