// In-memory sources for inputs: a clip of images or an animated point, given
// per time, that record every fetch and can give none at chosen times.
#pragma once

#include <hostsdk/link.h>
#include <hostsdk/parameter.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Fetches of several sources in the order they happened.
struct FetchRecord {
    std::string source;
    double time;
    friend bool operator==(const FetchRecord& a, const FetchRecord& b) {
        return a.source == b.source && a.time == b.time;
    }
};
using FetchLog = std::vector<FetchRecord>;

inline void PrintTo(const FetchRecord& record, std::ostream* out) {
    *out << record.source << " at " << record.time;
}

class MemorySource : public Source {
public:
    // Fetches are recorded in `log` under `name` when a log is given.
    explicit MemorySource(std::string name, std::shared_ptr<FetchLog> log = nullptr);
    ~MemorySource() override;

    // The value at `time`; the source takes over the caller's reference and
    // hands out one more with every fetch. nullptr: none at that time.
    void Set(double time, Parameter* value);
    // The value at every time without one of its own (none at the start).
    void SetDefault(Parameter* value);

    Parameter* Fetch(double time) override;

    const std::vector<double>& FetchTimes() const { return times_; }

private:
    std::string name_;
    std::shared_ptr<FetchLog> log_;
    std::map<double, Parameter*> values_;
    Parameter* default_ = nullptr;
    std::vector<double> times_;
};
