// The bookkeeping of the programs run on alerts: at most four run at once, the others wait their
// turn (up to a bound, past which an alert's run is dropped), and one still running after 30 s is
// due to be ended. Times are monotonic milliseconds from a clock the owner chooses. Portable: no
// Windows header; the Windows runner starts and ends the processes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace alerts {

class ProgramQueue {
public:
    static constexpr std::size_t kMaxRunning = 4;
    static constexpr std::size_t kMaxWaiting = 64;
    static constexpr std::int64_t kTimeLimitMs = 30'000;

    struct Job {
        std::uint64_t id = 0;
        std::wstring program;  // the program and its arguments, as a command line
        std::string input;     // what the program reads on its standard input
    };

    // Queues a run; false (and nothing queued) when kMaxWaiting already wait.
    bool Offer(std::wstring program, std::string input);
    // The next run to start at `nowMs`, while fewer than kMaxRunning run; it counts as running from then.
    std::optional<Job> NextToStart(std::int64_t nowMs);
    // A run that could not start, or that ended.
    void Finished(std::uint64_t id);
    // The runs that have run kTimeLimitMs or longer at `nowMs`, each said once.
    std::vector<std::uint64_t> Overdue(std::int64_t nowMs);

    std::size_t running() const { return running_.size(); }
    std::size_t waiting() const { return waiting_.size(); }

private:
    struct Running {
        std::uint64_t id;
        std::int64_t startedMs;
        bool overdueSaid = false;
    };
    std::deque<Job> waiting_;
    std::vector<Running> running_;
    std::uint64_t nextId_ = 1;
};

}  // namespace alerts
