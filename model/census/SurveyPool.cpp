#include "SurveyPool.h"

#include <thread>
#include <vector>

int SurveyPool::Run(int jobs, const std::function<void()>& work, const Progress& progress,
                    std::chrono::milliseconds interval)
{
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        WorkersEnded = 0; // a pool runs again for the survey's second round
    }
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs));
    try
    {
        for (int j = 0; j < jobs; ++j)
            workers.emplace_back([this, &work] { Work(work); });
    }
    catch (const std::exception&)
    {
        // Out of threads or address space: go on with the workers that did start.
    }
    const int started = static_cast<int>(workers.size());
    if (started == 0)
    {
        Work(work);
        return 1;
    }
    for (bool allEnded = false; !allEnded;)
    {
        std::size_t done = 0;
        {
            std::unique_lock<std::mutex> lock(Mutex);
            Changed.wait_for(lock, interval, [&] { return WorkersEnded == started; });
            allEnded = WorkersEnded == started;
            done = Done;
        }
        if (progress && !allEnded)
            progress(done);
    }
    for (std::thread& worker : workers)
        worker.join();
    return started;
}

void SurveyPool::Work(const std::function<void()>& work)
{
    try
    {
        work();
    }
    catch (const std::exception&)
    {
        // Out of memory in a worker: the others go on; Run's caller reports it.
        const std::lock_guard<std::mutex> lock(Mutex);
        if (!FirstFailure)
            FirstFailure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(Mutex);
    ++WorkersEnded;
    Changed.notify_all();
}

void SurveyPool::CountDone(std::size_t items)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    Done += items;
    Changed.notify_all();
}

void SurveyPool::SetDoneCount(std::size_t items)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    Done = items;
}

std::size_t SurveyPool::DoneCount() const
{
    const std::lock_guard<std::mutex> lock(Mutex);
    return Done;
}

std::exception_ptr SurveyPool::Failure() const
{
    const std::lock_guard<std::mutex> lock(Mutex);
    return FirstFailure;
}
