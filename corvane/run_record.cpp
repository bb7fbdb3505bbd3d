#include "run_record.h"

#include <deque>
#include <vector>

#include "file_system.h"

namespace {

struct Stored {
    CorvaneEventKind kind;
    std::string subject, detail;
    unsigned long long count, size;
    int flag;
    Reason reason;
};

// A deque keeps each stored text where it is as events are added.
std::deque<Stored>& Events() {
    static std::deque<Stored> events;
    return events;
}

}  // namespace

Failure SystemFailure(unsigned long error, const std::string& about) {
    return {about + ErrorText(error), SystemReason(error)};
}

void ClearRunRecord() {
    Events().clear();
}

void RecordEvent(CorvaneEventKind kind, const std::string& subject, const std::string& detail,
                 unsigned long long count, unsigned long long size, int flag, Reason reason) {
    Events().push_back({kind, subject, detail, count, size, flag, reason});
}

unsigned CorvaneRunRecord(const CorvaneEvent** events) {
    static std::vector<CorvaneEvent> view;
    view.clear();
    for (const Stored& stored : Events())
        view.push_back({stored.kind, stored.subject.c_str(), stored.detail.c_str(), stored.count, stored.size,
                        stored.flag, stored.reason.code, stored.reason.error});
    if (events) *events = view.data();
    return static_cast<unsigned>(view.size());
}
