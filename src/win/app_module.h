// The process's module record (instance, main thread, message loops) and the message loop.
#pragma once
#include <windows.h>

#include <map>
#include <mutex>

namespace win {

// A plain get-translate-dispatch loop; GetMessage's -1 is skipped.
class MessageLoop {
public:
    int Run();
};

class AppModule {
public:
    void Init(HINSTANCE instance);
    void Term();
    HINSTANCE instance() const noexcept { return instance_; }
    DWORD mainThreadId() const noexcept { return mainThreadId_; }
    void AddMessageLoop(MessageLoop* loop);
    void RemoveMessageLoop();
    MessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    HINSTANCE instance_ = nullptr;
    DWORD mainThreadId_ = 0;
    std::mutex lock_;  // guards loops_
    std::map<DWORD, MessageLoop*> loops_;
};

extern AppModule g_module;

}  // namespace win
