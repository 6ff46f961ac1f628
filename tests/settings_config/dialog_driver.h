// Answers the dialog a command shows, from a thread of its own while the test's thread sits in the
// dialog's modal loop: `answer` is given each visible dialog of this process until it says it answered.
// A dialog still unanswered after the time is cancelled, so that no test stays in a modal loop.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "win/gui_support.h"

class DialogDriver {
public:
    explicit DialogDriver(std::function<bool(HWND dialog)> answer, int timeoutMs = 15000)
        : answer_(std::move(answer)), thread_([this, timeoutMs] { Run(timeoutMs); }) {}
    ~DialogDriver() {
        stop_ = true;
        thread_.join();
    }
    bool answered() const { return answered_; }

private:
    void Run(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!stop_ && !answered_) {
            if (HWND dialog = guitest::VisibleDialog()) {
                if (std::chrono::steady_clock::now() < end)
                    answered_ = answer_(dialog);
                else
                    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::function<bool(HWND)> answer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> answered_{false};
    std::thread thread_;
};
