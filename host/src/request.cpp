#include <hostsdk/input_read_observer.h>
#include <hostsdk/operator.h>
#include <hostsdk/parameter.h>
#include <hostsdk/request.h>

#include <atomic>
#include <stdexcept>

namespace {

std::atomic<InputReadObserver> inputReadObserver{nullptr};

void Release(Parameter* value) {
    if (value != nullptr) {
        value->Recycle();
    }
}

}  // namespace

Request::Request(Operator* op, double time)
    : op_(op), time_(time), outputs_(op->Outputs().size(), nullptr), outputSet_(op->Outputs().size(), false) {
    values_.reserve(op->Inputs().size());
    try {
        for (const Input* input : op->Inputs()) {
            values_.push_back(new Number(input->Value()));
        }
    } catch (...) {
        for (Number* value : values_) {
            value->Recycle();
        }
        throw;
    }
}

Request::~Request() {
    for (Number* value : values_) {
        value->Recycle();
    }
    for (Parameter* output : outputs_) {
        Release(output);
    }
}

Number* Request::GetInputData(Input* input, uint32_t /*flags*/) const {
    const int index = op_->IndexOf(input);
    if (index < 0) {
        throw std::invalid_argument("input is not one of the request's operator");
    }
    if (const InputReadObserver observer = inputReadObserver.load(std::memory_order_acquire)) {
        observer(this, input);
    }
    return values_[index];
}

// An output of another operator is refused and `value` stays the caller's
// to release.
bool Request::SetOutputData(Output* output, Parameter* value) {
    const int index = op_->IndexOf(output);
    if (index < 0) {
        return false;
    }
    Release(outputs_[index]);
    outputs_[index] = value;
    outputSet_[index] = true;
    return true;
}

bool Request::HasOutputData(Output* output) const {
    const int index = op_->IndexOf(output);
    return index >= 0 && outputSet_[index];
}

Parameter* Request::TakeOutputData(Output* output) {
    const int index = op_->IndexOf(output);
    if (index < 0) {
        return nullptr;
    }
    Parameter* value = outputs_[index];
    outputs_[index] = nullptr;
    return value;
}

void SetInputReadObserver(InputReadObserver observer) {
    inputReadObserver.store(observer, std::memory_order_release);
}
