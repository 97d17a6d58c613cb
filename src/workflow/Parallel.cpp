// A small pool of threads for the contact-wise commands.

#include "workflow/Parallel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vimosync {

int RunInParallel(int count, int jobs, const std::function<void(int)>& work,
                  const std::function<void(int)>& waiting, const std::atomic<bool>* stop) {
    if (count <= 0) {
        return 0;
    }
    jobs = std::max(1, std::min(jobs, count));

    std::mutex lock;
    std::condition_variable changed;
    int next = 0;
    int done = 0;
    int started = 0;
    int running = jobs;
    int failedAt = -1;
    std::exception_ptr failure;
    std::exception_ptr waitFailure; // thrown by waiting: the run is abandoned

    const auto worker = [&] {
        for (;;) {
            int i = 0;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (next >= count || failure || waitFailure || (stop && stop->load())) {
                    break;
                }
                i = next++;
                ++started;
            }
            try {
                work(i);
            } catch (...) {
                std::lock_guard<std::mutex> guard(lock);
                if (!failure || i < failedAt) {
                    failure = std::current_exception();
                    failedAt = i;
                }
            }
            {
                std::lock_guard<std::mutex> guard(lock);
                ++done;
            }
            changed.notify_all();
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            --running;
        }
        changed.notify_all();
    };

    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(jobs));
    for (int k = 0; k < jobs; ++k) {
        threads.emplace_back(worker);
    }
    {
        // The waiting call comes at least once, after the last item at the latest, so
        // that the window handles its events during every run however short.
        std::unique_lock<std::mutex> guard(lock);
        for (bool last = false; !last;) {
            if (running > 0) {
                changed.wait_for(guard, std::chrono::milliseconds(20));
            }
            last = running == 0;
            if (waiting && !waitFailure) {
                const int finished = done;
                guard.unlock();
                std::exception_ptr thrown;
                try {
                    waiting(finished);
                } catch (...) {
                    thrown = std::current_exception();
                }
                guard.lock();
                waitFailure = thrown;
            }
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (waitFailure) {
        std::rethrow_exception(waitFailure);
    }
    return started;
}

} // namespace vimosync
