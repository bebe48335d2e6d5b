// Operators: the tools of a flow. A tool derives from Operator (or from
// ThreadedOperator to spread its work over the host's workers), declares its
// links in its constructor and computes frames in Process.
#pragma once

#include <hostsdk/link.h>
#include <hostsdk/object.h>
#include <hostsdk/tag_list.h>

#include <vector>

class Registry;
class Request;
struct ScriptVal;

class HOST_API Operator : public Object {
public:
    Operator(Registry* reg, const ScriptVal& script, const TagList& tags);
    // Releases the operator's links.
    ~Operator() override;

    // Declares a link: display name, ID, then (tag, value) pairs ended by 0.
    template <typename... Tags>
    Input* AddInput(const HostID& name, const HostID& id, Tags&&... tags) {
        return AddInputTags(name, id, TagList(std::forward<Tags>(tags)...));
    }
    template <typename... Tags>
    Output* AddOutput(const HostID& name, const HostID& id, Tags&&... tags) {
        return AddOutputTags(name, id, TagList(std::forward<Tags>(tags)...));
    }
    Input* AddInputTags(const HostID& name, const HostID& id, TagList tags);
    Output* AddOutputTags(const HostID& name, const HostID& id, TagList tags);

    // In order of declaration.
    const std::vector<Input*>& Inputs() const { return inputs_; }
    const std::vector<Output*>& Outputs() const { return outputs_; }
    Input* FindInput(const HostID& id) const;
    Output* FindOutput(const HostID& id) const;
    // Position of a link among Inputs() / Outputs(), or -1.
    int IndexOf(const Input* input) const;
    int IndexOf(const Output* output) const;

    // The registration record the operator was made from (may be null).
    Registry* Class() const { return class_; }

    // The virtual operations below are declared in the order of the host's
    // table, which a compiled tool calls by slot: a tool built against this
    // header must find each operation where the host looks for it. Those the
    // stand-in never calls do nothing harmful by default.

    // Pushes the operator onto a script interpreter's stack and returns the
    // number of values pushed. The stand-in has no interpreter: none.
    virtual int lw_push(void* scriptState);

    // After Process, for work on the finished outputs. The base does nothing.
    virtual void PostProcess(Request* req);

    // Computes the outputs for one request. The base sets none.
    virtual void Process(Request* req);

    // Before a pre-calculation request (image sizes and domains only). The
    // base does nothing.
    virtual void PreCalcPreProcess(Request* req);

    // Computes the outputs on the graphics card; false when the operator has
    // no such path and the host is to call Process. The base has none.
    virtual bool ProcessGL(Request* req);

    // Called by the host after an input's value or connection changed. The
    // base records the call (see LastNotification).
    virtual void NotifyChanged(Input* in, Parameter* param, double time, TagList* tags);

    // Called after the user moved an input's region of interest. The base
    // does nothing.
    virtual void RegionChanged(Input* in);

    // The arguments of the last call of Operator::NotifyChanged, and the host
    // change-clock stamp it got (0 when there was none yet).
    struct Notification {
        Input* input = nullptr;
        Parameter* param = nullptr;
        double time = 0.0;
        TagList* tags = nullptr;
        uint64_t stamp = 0;
    };
    const Notification& LastNotification() const { return lastNotification_; }
    uint64_t LastChange() const { return lastNotification_.stamp; }

    // For the host: set a control's value as a user would, and tell the
    // operator through NotifyChanged with a Number of the new value.
    void SetInputValue(Input* in, double value, double time);

    // Registration hooks named by a class's registration record.
    static bool RegInit(Registry* reg);
    static void RegCleanup(Registry* reg);

private:
    Registry* class_;
    std::vector<Input*> inputs_;
    std::vector<Output*> outputs_;
    Notification lastNotification_;
};

class HOST_API ThreadedOperator : public Operator {
public:
    using Operator::Operator;

    // Identifier of this base class, named by registration records.
    static const HostID ClassID;

    // Calls ProcessChunk(req, i) once for every i in 0 .. count - 1 on the
    // host's worker pool, several at a time, and returns after the last. An
    // exception thrown by a chunk stops the chunks not yet started and is
    // rethrown here once every running chunk has finished.
    void DoMultiProcess(Request* req, long count);

    // Body of a thread the operator starts through the host; returns its exit
    // code. The stand-in starts none; the base returns 0.
    virtual int ThreadMain(void* data);

    // One chunk of a request. The base does nothing.
    virtual void ProcessChunk(Request* req, long chunk);

    // One chunk of an interactive preview, where speed matters more than
    // quality. The base computes the chunk in full with ProcessChunk.
    virtual void QuickProcessChunk(Request* req, long chunk);
};

// Threads of the host's worker pool, counting the thread that calls
// DoMultiProcess, which works too. Starts at the machine's core count.
HOST_API void SetWorkerThreadCount(unsigned count);
HOST_API unsigned WorkerThreadCount();
