#include "audio/task_queue.h"

#include <utility>

TTaskQueue::TTaskQueue()
    : m_state(std::make_shared<TState>())
{
}

PostToGui TTaskQueue::Poster() const
{
    return [state = m_state](std::function<void()> task) {
        {
            const std::lock_guard lock(state->Lock);
            state->Tasks.push_back(std::move(task));
        }
        state->Arrived.notify_one();
    };
}

void TTaskQueue::RunUntil(const std::function<bool()>& done)
{
    while (!done())
        RunOne(std::nullopt);
}

bool TTaskQueue::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (!RunOne(deadline))
            return done();
    }
    return true;
}

void TTaskQueue::RunFor(std::chrono::milliseconds duration)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (RunOne(deadline)) { }
}

bool TTaskQueue::RunOne(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    std::function<void()> task;
    {
        std::unique_lock lock(m_state->Lock);
        const auto arrived = [this] { return !m_state->Tasks.empty(); };
        if (!deadline)
            m_state->Arrived.wait(lock, arrived);
        else if (!m_state->Arrived.wait_until(lock, *deadline, arrived))
            return false;
        task = std::move(m_state->Tasks.front());
        m_state->Tasks.pop_front();
    }
    task();
    return true;
}
