// The cores a render may keep busy, shared by the threads that decode and
// encode frames: each decode or encode runs only on a turn, and there are as
// many turns as cores, so however many threads wait for work, no more of them
// run at once than the cores can carry.
#pragma once

#include <condition_variable>
#include <mutex>

namespace taviron::cli {

class CoreShare {
public:
    explicit CoreShare(unsigned cores);
    CoreShare(const CoreShare&) = delete;
    CoreShare& operator=(const CoreShare&) = delete;

    // One core's turn, given back when it goes; empty when none was free.
    class Turn {
    public:
        Turn() = default;
        explicit Turn(CoreShare* share) : share_(share) {}
        Turn(Turn&& other) noexcept : share_(other.share_) { other.share_ = nullptr; }
        Turn& operator=(Turn&& other) noexcept;
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        ~Turn();
        explicit operator bool() const { return share_ != nullptr; }

    private:
        CoreShare* share_ = nullptr;
    };

    // Waits for a free core.
    Turn Take();
    // A free core, or an empty turn at once.
    Turn TryTake();
    unsigned Cores() const { return cores_; }

private:
    void GiveBack();

    const unsigned cores_;
    std::mutex mutex_;
    std::condition_variable freed_;
    unsigned free_;
};

// The cores this process may run on: those its CPU affinity allows (a farm
// task's share of a node), else every core of the machine.
unsigned TaskCores();

}  // namespace taviron::cli
