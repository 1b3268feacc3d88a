#pragma once
// The gang station window without a toolkit: what the model shows is kept as plain state,
// posted work waits in a queue the test runs, the tick is stepped by RunUntil.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "window/station_window_view.h"

namespace bw::test {

class FakeStationWindowView : public window::StationWindowView {
  public:
    window::StationWindowEvents* events = nullptr;
    window::StationHeader header;
    window::StationTotals totals;
    std::map<int, window::SlotTileState> tiles;
    std::string messages;  // every line appended, each ended with '\n'
    std::vector<std::string> questions;
    bool answer = false;  // to every question
    bool closed = false;
    int tickMs = 0;  // 0: not ticking

    void SetEvents(window::StationWindowEvents* e) override { events = e; }
    void SetHeader(const window::StationHeader& h) override { header = h; }
    void SetTile(const window::SlotTileState& tile) override { tiles[tile.slot] = tile; }
    void SetTotals(const window::StationTotals& t) override { totals = t; }
    void AppendMessage(std::string_view lines) override {
        messages.append(lines);
        messages += '\n';
    }
    bool AskQuestion(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void StartTicks(int periodMs) override { tickMs = periodMs; }
    void StopTicks() override { tickMs = 0; }
    void Post(std::function<void()> work) override {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            posted_.push_back(std::move(work));
        }
        arrived_.notify_all();
    }
    void Close() override { closed = true; }

    // The operator's close (the window's close button): true when the window closed.
    bool CloseByOperator() {
        if (events != nullptr && !events->OnCloseQuery()) return false;
        closed = true;
        return true;
    }
    // Runs posted work, and a tick between batches while ticking, until `done` holds; false
    // when a minute went by first (a hang guard only: the line's clock is virtual).
    template <typename F>
    bool RunUntil(F done) {
        const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!done()) {
            if (std::chrono::steady_clock::now() > guard) return false;
            RunPosted(std::chrono::milliseconds(20));
            if (tickMs > 0 && events != nullptr) events->OnTick();
        }
        return true;
    }
    // Runs what was posted, waiting up to `wait` for the first of it.
    void RunPosted(std::chrono::milliseconds wait) {
        std::deque<std::function<void()>> batch;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            arrived_.wait_for(lock, wait, [this] { return !posted_.empty(); });
            batch.swap(posted_);
        }
        for (auto& work : batch) work();
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace bw::test
