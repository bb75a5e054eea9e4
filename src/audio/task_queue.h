#pragma once
// Tasks posted from any thread, run on the one thread that drains the queue:
// the GUI thread of the CLI and of tests.

#include "audio/gui_post.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TTaskQueue {
public:
    TTaskQueue();

    // A poster for players and other notifiers. It keeps the queue's state
    // alive, so an engine callback that posts after the queue is gone is
    // harmless (the task is never run).
    PostToGui Poster() const;

    // Draining thread only. Runs tasks as they arrive until done() holds
    // (checked before waiting and after each task).
    void RunUntil(const std::function<bool()>& done);
    // As above, giving up when the timeout passes; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Draining thread only. Runs tasks as they arrive for the given time.
    void RunFor(std::chrono::milliseconds duration);

private:
    struct TState {
        std::mutex Lock;
        std::condition_variable Arrived;
        std::deque<std::function<void()>> Tasks;
    };

    // Waits until a task is there, or until the deadline if one is given;
    // runs it and returns true.
    bool RunOne(std::optional<std::chrono::steady_clock::time_point> deadline);

    std::shared_ptr<TState> m_state;
};
