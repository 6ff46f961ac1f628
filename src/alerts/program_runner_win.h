// ProgramRunner runs "Run on alert": each alert's program started without a shell, the message as one
// line of JSON on its standard input, at most four at once, one still running after 30 s ended, and
// a program that cannot start or fails said once. It lives on the user-interface thread and starts no
// thread: a message-only window's timer looks at the running programs, and nothing ever waits on them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "alerts/program_queue.h"
#include "win/handles.h"
#include "win/window.h"

namespace alerts {

class ProgramRunner : public win::Window {
public:
    static constexpr UINT_PTR kWatchTimer = 1;
    static constexpr UINT kWatchMs = 250;

    ProgramRunner();
    ~ProgramRunner() override;

    // Monotonic milliseconds for the time limit; null: the system's tick count.
    void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    // Where failures are said (the decoder log's red notes).
    void SetReport(std::function<void(const std::wstring&)> report) { report_ = std::move(report); }

    // Runs `program` (a command line: the program, then its arguments) with `input` and a line end on
    // its standard input, now or once fewer than four run.
    void Run(const std::wstring& program, const std::string& input);
    // Collects the programs that ended, ends those past the time limit, starts those waiting. The
    // timer calls it; so may a caller that moved the clock.
    void Watch();

    std::size_t running() const { return processes_.size(); }
    std::size_t waiting() const { return queue_.waiting(); }
    unsigned started() const { return started_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Process {
        std::wstring program;
        win::UniqueHandle handle;
        bool ended = false;  // ended by the time limit: its exit code is ours, not worth saying
    };
    bool EnsureWindow();
    void StartWaiting();
    std::int64_t Now() const;
    void Say(const std::wstring& text) const;

    ProgramQueue queue_;
    std::map<std::uint64_t, Process> processes_;
    std::function<std::int64_t()> clock_;
    std::function<void(const std::wstring&)> report_;
    unsigned started_ = 0;
};

}  // namespace alerts
