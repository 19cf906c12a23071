#include "computer_seats.hpp"

#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow::server {

int Decide(const ThinkRequest& request) {
    DealState d = request.deal;
    const int seat = request.seat;
    if (request.level == net::Level::Expert) {
        const ExpertPlayer expert(request.seed, {}, request.styles);
        if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(expert.ChooseTrump(d, seat));
        return expert.ChooseCard(d, seat);
    }
    RulesPlayer rules;
    if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(rules.ChooseTrump(d, seat));
    return rules.ChooseCard(d, seat);
}

ThinkingPool::ThinkingPool(int threads, Done done) : done_(std::move(done)) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

ThinkingPool::~ThinkingPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ThinkingPool::Add(ThinkRequest request) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(request));
    }
    wake_.notify_one();
}

void ThinkingPool::Work() {
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        const ThinkRequest request = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        done_(request, Decide(request));
    }
}

}  // namespace pellow::server
