// The process's module record (its instance) and the message loop.
#pragma once
#include <windows.h>

namespace win {

// A plain get-translate-dispatch loop; GetMessage's -1 is skipped.
class MessageLoop {
public:
    int Run();
};

class AppModule {
public:
    void Init(HINSTANCE instance) { instance_ = instance; }
    void Term() { instance_ = nullptr; }
    HINSTANCE instance() const noexcept { return instance_; }

private:
    HINSTANCE instance_ = nullptr;
};

extern AppModule g_module;

}  // namespace win
