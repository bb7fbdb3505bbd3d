#include "two_at_a_time.h"

#include <windows.h>

namespace {

// Below this many calls a second thread costs more than it saves.
constexpr std::size_t kHelperFrom = 64;

struct Share {
    std::size_t first, count;  // this share runs first, first + 2, first + 4, ...
    const std::function<void(std::size_t)>* step;
};

void RunShare(const Share& share) {
    for (std::size_t i = share.first; i < share.count; i += 2) (*share.step)(i);
}

DWORD WINAPI RunShareThread(void* share) {
    RunShare(*static_cast<const Share*>(share));
    return 0;
}

// A thread running one share; the destructor waits for it to end.
class Helper {
public:
    explicit Helper(Share& share) : thread_(CreateThread(nullptr, 0, RunShareThread, &share, 0, nullptr)) {}
    ~Helper() {
        if (!thread_) return;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    bool Started() const { return thread_ != nullptr; }

private:
    HANDLE thread_;
};

}  // namespace

void TwoAtATime(std::size_t count, const std::function<void(std::size_t)>& step) {
    Share even{0, count, &step}, odd{1, count, &step};
    if (count >= kHelperFrom) {
        Helper helper(odd);
        if (helper.Started()) {
            RunShare(even);
            return;  // once the helper is done
        }
    }
    RunShare(even);
    RunShare(odd);
}
