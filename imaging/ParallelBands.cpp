#include "imaging/ParallelBands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr int kMaxThreads = 64;
constexpr int kBandsPerSlot = 4; // a few bands a thread, so one slow thread does not hold the job up

struct Job {
    const std::function<void(int, int, int)>* work = nullptr;
    int count = 0, bands = 0;
    std::atomic<int> next{0};
    int active = 0; // workers inside the job; guarded by the pool's mutex
};

class Pool {
public:
    Pool() {
        const unsigned cores = std::thread::hardware_concurrency();
        const int threads = std::clamp(static_cast<int>(cores), 1, kMaxThreads);
        for (int slot = 1; slot < threads; ++slot) {
            try {
                m_threads.emplace_back([this, slot] { Serve(slot); });
            } catch (const std::system_error&) {
                break; // fewer workers than cores still do the work
            }
        }
    }
    ~Pool() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    int Slots() const { return static_cast<int>(m_threads.size()) + 1; }

    void Run(int count, int minBand, const std::function<void(int, int, int)>& work) {
        if (count <= 0)
            return;
        const int wanted = std::max(1, count / std::max(minBand, 1));
        std::unique_lock running(m_running, std::try_to_lock);
        if (!running.owns_lock() || m_threads.empty() || wanted == 1) {
            work(0, count, 0);
            return;
        }
        Job job;
        job.work = &work;
        job.count = count;
        job.bands = std::min(wanted, Slots() * kBandsPerSlot);
        {
            std::lock_guard lock(m_mutex);
            m_job = &job;
            ++m_generation;
        }
        m_wake.notify_all();
        Work(job, 0);
        std::unique_lock lock(m_mutex);
        m_job = nullptr; // workers that wake from now on find nothing to do
        m_idle.wait(lock, [&] { return job.active == 0; });
    }

private:
    static void Work(Job& job, int slot) {
        for (int band = job.next.fetch_add(1); band < job.bands; band = job.next.fetch_add(1)) {
            const int begin = static_cast<int>(static_cast<long long>(job.count) * band / job.bands);
            const int end = static_cast<int>(static_cast<long long>(job.count) * (band + 1) / job.bands);
            (*job.work)(begin, end, slot);
        }
    }

    void Serve(int slot) {
        std::unique_lock lock(m_mutex);
        unsigned long long seen = 0;
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
            Job* job = m_job;
            if (job == nullptr)
                continue;
            ++job->active;
            lock.unlock();
            Work(*job, slot);
            lock.lock();
            if (--job->active == 0)
                m_idle.notify_all();
        }
    }

    std::vector<std::thread> m_threads;
    std::mutex m_running; // one job at a time
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    Job* m_job = nullptr;
    unsigned long long m_generation = 0;
    bool m_stop = false;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

} // namespace

int ParallelSlots() {
    return ThePool().Slots();
}

void ParallelBands(int count, int minBand, const std::function<void(int, int, int)>& work) {
    ThePool().Run(count, minBand, work);
}
