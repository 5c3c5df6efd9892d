// Two pieces of work at once, on a machine with a processor to spare.
#pragma once

#include <future>
#include <system_error>

namespace osc {

// Runs `other` on a thread of its own while `here` runs in this one, and waits for both; where
// no thread can be started, runs `other` and then `here` in this thread. What either throws
// comes out here, `other`'s once `here` is done.
template <typename Other, typename Here>
void side_by_side(Other other, Here here)
{
    std::future<void> started;
    try {
        started = std::async(std::launch::async, other);
    } catch (const std::system_error &) {
        other(); // no thread to be had
    }
    here();
    if (started.valid()) started.get();
}

} // namespace osc
