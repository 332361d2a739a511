#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>

// The threads of a survey: each runs the same work, taking items by TakeNext until there
// are none, and counts what it finished; the calling thread reports progress meanwhile.
class SurveyPool
{
public:
    using Progress = std::function<void(std::size_t done)>;

    // Runs work on up to `jobs` threads, or fewer when the system refuses to start more
    // (on none, the calling thread does it). Calls progress from the calling thread about
    // every interval. Returns the number of threads that worked. A work that throws ends
    // its thread only; the first such exception is kept for Failure.
    int Run(int jobs, const std::function<void()>& work, const Progress& progress,
            std::chrono::milliseconds interval);

    std::size_t TakeNext() { return Next.fetch_add(1); }
    void CountDone(std::size_t items);
    void SetDoneCount(std::size_t items);
    std::size_t DoneCount() const;
    std::exception_ptr Failure() const;

private:
    void Work(const std::function<void()>& work);

    std::atomic<std::size_t> Next{0};
    mutable std::mutex Mutex;
    std::condition_variable Changed;
    std::size_t Done = 0;
    int WorkersEnded = 0;
    std::exception_ptr FirstFailure;
};
