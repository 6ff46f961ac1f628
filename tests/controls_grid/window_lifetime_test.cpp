// The window base's lifetime rule: whichever goes first, the window or its object, the window and its
// children are destroyed; the derived handler hears the end only when the window went first, and a
// child object that is still whole always hears its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "win/window.h"

namespace {

struct Log {
    std::vector<UINT> heard;  // every message the derived handler saw
    int finals = 0;
};

class Probe : public win::Window {
public:
    explicit Probe(Log& log) : log_(log) {}

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        log_.heard.push_back(msg);
        return Window::HandleMessage(msg, wParam, lParam);
    }
    void OnFinalMessage() override { ++log_.finals; }

private:
    Log& log_;
};

bool Heard(const Log& log, UINT msg) { return std::count(log.heard.begin(), log.heard.end(), msg) > 0; }

TEST(WindowLifetime, WhicheverGoesFirstTheWindowAndItsChildrenGo) {
    struct Case {
        const char* name;
        bool windowFirst;
        bool heardDestroy;  // WM_DESTROY and WM_NCDESTROY reached the derived handler
        int finals;
    };
    const Case cases[] = {
        {"the window first", true, true, 1},
        {"the object first", false, false, 0},
    };
    for (const Case& c : cases) {
        Log log;
        auto probe = std::make_unique<Probe>(log);
        HWND hwnd = probe->Create(nullptr, RECT{0, 0, 100, 80}, L"probe", WS_OVERLAPPEDWINDOW, 0);
        ASSERT_NE(hwnd, nullptr) << c.name;
        Log childLog;  // a child of our own: its destruction tells the parent (WM_PARENTNOTIFY)
        Probe child(childLog);
        HWND childWindow = child.Create(hwnd, RECT{0, 0, 10, 10}, L"", WS_CHILD | WS_VISIBLE, 0);
        ASSERT_NE(childWindow, nullptr) << c.name;
        if (c.windowFirst) {
            ::DestroyWindow(hwnd);
            EXPECT_EQ(probe->hwnd(), nullptr) << c.name;
        }
        probe.reset();
        EXPECT_FALSE(::IsWindow(hwnd)) << c.name;
        EXPECT_FALSE(::IsWindow(childWindow)) << c.name;
        EXPECT_EQ(child.hwnd(), nullptr) << c.name;
        EXPECT_EQ(Heard(log, WM_DESTROY), c.heardDestroy) << c.name;
        EXPECT_EQ(Heard(log, WM_NCDESTROY), c.heardDestroy) << c.name;
        EXPECT_EQ(log.finals, c.finals) << c.name;
        EXPECT_EQ(childLog.finals, 1) << c.name;  // the child, still whole, hears its own end
    }
}

}  // namespace
