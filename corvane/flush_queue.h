// Flushes the files of one cabinet off the unpacking thread where a flush costs time. A
// file is handed over as soon as it is written whole. Where flushes wait for a disk, a
// helper thread puts each file's data on the disk (and closes it, unless the commit is to
// rename it through its handle) while the next files are decompressed; where they cost
// nothing (a file system in memory), the handoff would cost more than the flush, so they
// are made at once. Which of the two is learned from the flushes themselves: once a few
// have taken longer than kSlowFlush, every later one of the process goes to the helper.
// Wait() returns once every file handed over is on the disk: the commit begins only then,
// so no file is named in the content before its data is flushed. At most kMostPending
// files wait at once (the unpacking waits for room), so memory and handles stay bounded
// however many files a cabinet holds. Every flush and close goes through the host's
// file-system table.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class FlushQueue {
public:
    FlushQueue() = default;
    ~FlushQueue();
    FlushQueue(const FlushQueue&) = delete;
    FlushQueue& operator=(const FlushQueue&) = delete;

    // Hands `file` over to be flushed, then closed unless `keepOpen`; `name` names it when
    // that fails.
    void Add(HANDLE file, bool keepOpen, const std::string& name);

    // The first flush or close that failed: the file's name and the system's error.
    struct Failure {
        std::string name;
        DWORD error = 0;
    };
    // Waits until every file handed over is flushed (and closed); false with the first
    // failure, which the commit must not go past.
    bool Wait(Failure& failure);

private:
    struct Job {
        HANDLE file;
        bool keepOpen;
        std::string name;
    };
    void Do(const Job& job);  // flushes (and closes) one file, noting a failure
    void Work();              // the helper's loop

    // One helper: on the disks measured here, flushes in flight together wait longer, all
    // told, than one after another.
    static constexpr std::size_t kMostPending = 256;
    static constexpr double kSlowFlush = 0.0005;  // seconds

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;  // the helper works on a job taken from jobs_
    bool stopping_ = false;
    Failure failure_;
    std::thread helper_;  // started with the first file handed to it
};
