#include "win/app_module.h"

namespace win {

AppModule g_module;

int MessageLoop::Run() {
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void AppModule::Init(HINSTANCE instance) {
    instance_ = instance;
    mainThreadId_ = ::GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(lock_);
    loops_.clear();
}

void AppModule::Term() {
    std::lock_guard<std::mutex> guard(lock_);
    loops_.clear();
}

void AppModule::AddMessageLoop(MessageLoop* loop) {
    std::lock_guard<std::mutex> guard(lock_);
    loops_[::GetCurrentThreadId()] = loop;
}

void AppModule::RemoveMessageLoop() {
    std::lock_guard<std::mutex> guard(lock_);
    loops_.erase(::GetCurrentThreadId());
}

MessageLoop* AppModule::GetMessageLoop(DWORD threadId) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = loops_.find(threadId);
    return it == loops_.end() ? nullptr : it->second;
}

}  // namespace win
