#include "engine/stop_check.h"

#include <memory>
#include <mutex>
#include <utility>

namespace quillet::engine {

namespace {

struct StopControl {
    std::mutex mutex;
    std::shared_ptr<const StopCheck> check;
};

StopControl& stopControl() {
    static StopControl control;
    return control;
}

}  // namespace

void setStopCheck(StopCheck check) {
    StopControl& control = stopControl();
    auto shared = check ? std::make_shared<const StopCheck>(std::move(check)) : nullptr;
    const std::lock_guard lock(control.mutex);
    control.check = std::move(shared);
}

void StopPoll::throwIfStopRequested() {
    std::shared_ptr<const StopCheck> check;
    {
        StopControl& control = stopControl();
        const std::lock_guard lock(control.mutex);
        check = control.check;
    }
    // Called outside the lock: a check may take its time without holding up other readers.
    if (check && (*check)()) throw ReadingStopped();
}

}  // namespace quillet::engine
