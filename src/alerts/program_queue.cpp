#include "alerts/program_queue.h"

#include <algorithm>

namespace alerts {

bool ProgramQueue::Offer(std::wstring program, std::string input) {
    if (waiting_.size() >= kMaxWaiting) return false;
    waiting_.push_back({0, std::move(program), std::move(input)});
    return true;
}

std::optional<ProgramQueue::Job> ProgramQueue::NextToStart(std::int64_t nowMs) {
    if (waiting_.empty() || running_.size() >= kMaxRunning) return std::nullopt;
    Job job = std::move(waiting_.front());
    job.id = nextId_++;
    waiting_.pop_front();
    running_.push_back({job.id, nowMs});
    return job;
}

void ProgramQueue::Finished(std::uint64_t id) {
    std::erase_if(running_, [id](const Running& r) { return r.id == id; });
}

std::vector<std::uint64_t> ProgramQueue::Overdue(std::int64_t nowMs) {
    std::vector<std::uint64_t> due;
    for (Running& r : running_) {
        if (r.overdueSaid || nowMs - r.startedMs < kTimeLimitMs) continue;
        r.overdueSaid = true;
        due.push_back(r.id);
    }
    return due;
}

}  // namespace alerts
