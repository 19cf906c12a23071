#pragma once
// Work on other cores, with the display library's per-thread state released at the end.
#include <future>
#include <utility>

namespace pellow::modDX {

// Releases what the display library keeps for the calling thread (its error text); it does so
// by itself only for threads it started.
void ReleaseThreadState();
// Runs `work` on a thread of its own, releasing the library's state for that thread at the end;
// the result, or the exception, comes through the future.
template <class Work>
auto OnOwnThread(Work work) {
    return std::async(std::launch::async, [work = std::move(work)]() mutable {
        struct Release {
            ~Release() { ReleaseThreadState(); }
        } release;
        return work();
    });
}

}  // namespace pellow::modDX
