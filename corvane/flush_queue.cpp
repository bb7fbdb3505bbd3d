#include "flush_queue.h"

#include <atomic>
#include <chrono>

#include "file_system.h"

namespace {

// The system's reason for the call that just failed, which a failure never lacks.
DWORD ErrorOrWriteFault() {
    DWORD error = GetLastError();
    return error ? error : ERROR_WRITE_FAULT;
}

// How many flushes of this process have had to wait; from kSlowFlushes on, flushes wait
// for a disk here, rather than having met a busy moment of the machine.
std::atomic<int> slowFlushes{0};
constexpr int kSlowFlushes = 4;

}  // namespace

FlushQueue::~FlushQueue() {
    Failure ignored;
    Wait(ignored);
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (helper_.joinable()) helper_.join();
}

void FlushQueue::Add(HANDLE file, bool keepOpen, const std::string& name) {
    if (slowFlushes < kSlowFlushes) {
        auto start = std::chrono::steady_clock::now();
        Do({file, keepOpen, name});
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > kSlowFlush) ++slowFlushes;
        return;
    }
    std::unique_lock<std::mutex> hold(lock_);
    if (!helper_.joinable()) helper_ = std::thread(&FlushQueue::Work, this);
    changed_.wait(hold, [this] { return jobs_.size() < kMostPending; });
    jobs_.push_back({file, keepOpen, name});
    changed_.notify_all();
}

bool FlushQueue::Wait(Failure& failure) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return jobs_.empty() && !busy_; });
    failure = failure_;
    return failure_.error == 0;
}

void FlushQueue::Do(const Job& job) {
    // On the disk before it can be named in the content: after a power cut a name may stay
    // while data that was never flushed is gone.
    DWORD error = Fs().flush(job.file) ? 0 : ErrorOrWriteFault();
    if (!job.keepOpen && !Fs().close(job.file) && !error) error = ErrorOrWriteFault();
    if (!error) return;
    std::lock_guard<std::mutex> hold(lock_);
    if (!failure_.error) failure_ = {job.name, error};
}

void FlushQueue::Work() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        Job job = jobs_.front();
        jobs_.pop_front();
        busy_ = true;
        changed_.notify_all();  // room for one more
        hold.unlock();
        Do(job);
        hold.lock();
        busy_ = false;
        changed_.notify_all();
    }
}
