#pragma once
// The computer seats' decisions for the server, made as the game makes them: the Classic rule set
// at once, the Expert on a pool of worker threads so that no search holds up the network loop.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/lobby.hpp"

namespace pellow::server {

// The card the request's seat plays: on the deal's first lead it chooses trumps first and plays
// one of them, as the game's computer seats do.
int Decide(const ThinkRequest& request);

// Runs Decide away from the caller; `done` is called on a worker thread with the request's card.
class ThinkingPool {
public:
    using Done = std::function<void(const ThinkRequest&, int card)>;
    ThinkingPool(int threads, Done done);
    ~ThinkingPool();
    ThinkingPool(const ThinkingPool&) = delete;
    ThinkingPool& operator=(const ThinkingPool&) = delete;
    void Add(ThinkRequest request);

private:
    void Work();
    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<ThinkRequest> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace pellow::server
