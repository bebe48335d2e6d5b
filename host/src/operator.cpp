#include <hostsdk/operator.h>
#include <hostsdk/parameter.h>

#include <algorithm>

namespace {

template <typename LinkType>
int PositionOf(const std::vector<LinkType*>& links, const LinkType* link) {
    const auto found = std::find(links.begin(), links.end(), link);
    return found == links.end() ? -1 : static_cast<int>(found - links.begin());
}

template <typename LinkType>
LinkType* FindByID(const std::vector<LinkType*>& links, const HostID& id) {
    for (LinkType* link : links) {
        if (link->ID() == id) {
            return link;
        }
    }
    return nullptr;
}

}  // namespace

Operator::Operator(Registry* reg, const ScriptVal& /*script*/, const TagList& /*tags*/) : class_(reg) {}

Operator::~Operator() {
    for (Input* input : inputs_) {
        input->Recycle();
    }
    for (Output* output : outputs_) {
        output->Recycle();
    }
}

Input* Operator::AddInputTags(const HostID& name, const HostID& id, TagList tags) {
    inputs_.reserve(inputs_.size() + 1);  // so that the append below cannot throw
    inputs_.push_back(new Input(this, name, id, std::move(tags)));
    return inputs_.back();
}

Output* Operator::AddOutputTags(const HostID& name, const HostID& id, TagList tags) {
    outputs_.reserve(outputs_.size() + 1);
    outputs_.push_back(new Output(this, name, id, std::move(tags)));
    return outputs_.back();
}

Input* Operator::FindInput(const HostID& id) const {
    return FindByID(inputs_, id);
}

Output* Operator::FindOutput(const HostID& id) const {
    return FindByID(outputs_, id);
}

int Operator::IndexOf(const Input* input) const {
    return PositionOf(inputs_, input);
}

int Operator::IndexOf(const Output* output) const {
    return PositionOf(outputs_, output);
}

int Operator::lw_push(void* /*scriptState*/) {
    return 0;
}

void Operator::PostProcess(Request* /*req*/) {}

void Operator::Process(Request* /*req*/) {}

void Operator::PreCalcPreProcess(Request* /*req*/) {}

bool Operator::ProcessGL(Request* /*req*/) {
    return false;
}

void Operator::NotifyChanged(Input* in, Parameter* param, double time, TagList* tags) {
    lastNotification_ = {in, param, time, tags, NextChangeStamp()};
}

void Operator::RegionChanged(Input* /*in*/) {}

void Operator::SetInputValue(Input* in, double value, double time) {
    in->SetValue(value);
    Number* number = new Number(value);
    TagList noTags;
    try {
        NotifyChanged(in, number, time, &noTags);
    } catch (...) {
        number->Recycle();
        throw;
    }
    number->Recycle();
}

bool Operator::RegInit(Registry* /*reg*/) {
    return true;
}

void Operator::RegCleanup(Registry* /*reg*/) {}
