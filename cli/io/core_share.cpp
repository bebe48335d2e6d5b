#include "io/core_share.h"

#include <sched.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace taviron::cli {

CoreShare::CoreShare(unsigned cores) : cores_(std::max(1u, cores)), free_(cores_) {}

CoreShare::Turn& CoreShare::Turn::operator=(Turn&& other) noexcept {
    if (this != &other) {
        if (share_) share_->GiveBack();
        share_ = std::exchange(other.share_, nullptr);
    }
    return *this;
}

CoreShare::Turn::~Turn() {
    if (share_) share_->GiveBack();
}

CoreShare::Turn CoreShare::Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
    return Turn(this);
}

CoreShare::Turn CoreShare::TryTake() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_ == 0) return Turn();
    --free_;
    return Turn(this);
}

void CoreShare::GiveBack() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++free_;
    }
    freed_.notify_one();
}

unsigned TaskCores() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace taviron::cli
