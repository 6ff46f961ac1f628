// The spectrum display's test fixture: a real child window over its model, rendered through
// WM_PRINTCLIENT into a bitmap, driven with pointer and key messages, fed with samples; the parent
// records the WM_COMMANDs it gets.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/fft_display.h"
#include "theme/palette.h"
#include "win/colour.h"
#include "win/display_picture.h"

namespace display_test {

inline const COLORREF kBackground = win::ToColorRef(palette::kSpectrumBackground);
inline const COLORREF kBand = win::ToColorRef(palette::kSpectrumBand);
inline const COLORREF kCentreLine = win::ToColorRef(palette::kSpectrumCentreLine);
// The picture reader finds the curve by its white.
static_assert(win::ToColorRef(palette::kSpectrumCurve) == guitest::kWhite);
constexpr DWORD kDisplayStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
using guitest::kWhite;
using guitest::Picture;

class RecordingParent : public win::Window {
public:
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
        double centre;  // the model's centre frequency when the command arrived
    };
    std::vector<Command> commands;
    SpectrumModel* model = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND) {
            commands.push_back({wParam, lParam, model ? model->centerFrequency : 0.0});
            return 0;
        }
        return DefaultHandling(msg, wParam, lParam);
    }
};

inline LPARAM PointAt(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

inline std::vector<std::int16_t> Tone(double hz, double rate, double amplitude, int count, int start = 0) {
    std::vector<std::int16_t> s(count);
    const double twoPi = 8.0 * std::atan(1.0);
    for (int i = 0; i < count; ++i) s[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(twoPi * hz * (start + i) / rate)));
    return s;
}

// Handles what came in for the display's window, such as the leave notice that TrackMouseEvent
// posts when the real pointer is elsewhere.
inline void PumpMessages() {
    MSG msg;
    for (int i = 0; i < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) ::DispatchMessageW(&msg);
}

class SpectrumDisplay : public testing::Test {
protected:
    // One visible parent for the whole suite: hiding or destroying a top-level window under Wine
    // without a window manager waits for a state change that never comes.
    static void SetUpTestSuite() {
        parent = new RecordingParent;
        parent->Create(nullptr, RECT{0, 0, 900, 400}, L"spectrum test", WS_OVERLAPPEDWINDOW, 0);
        ::ShowWindow(*parent, SW_SHOWNOACTIVATE);  // invalidation is only tracked for visible windows
    }
    static void TearDownTestSuite() {
        delete parent;
        parent = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(parent && parent->hwnd());
        parent->commands.clear();
        parent->model = &model;
        ASSERT_TRUE(display.Create(*parent, RECT{0, 0, 0, 150}, nullptr, kDisplayStyle, WS_EX_CLIENTEDGE));
        model.SetStartupValues();
        Resize(700, 150);
    }
    void TearDown() override {
        PumpMessages();
        parent->model = nullptr;
    }
    void Resize(int width, int height) { Resize(display, width, height); }
    static void Resize(HWND window, int width, int height) {
        RECT r{0, 0, width, height};
        ::AdjustWindowRectEx(&r, WS_CHILD, FALSE, WS_EX_CLIENTEDGE);
        ::SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        ::GetClientRect(window, &client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }
    Picture Render(int width = 700, int height = 150) {
        Picture picture(display, width, height);
        EXPECT_TRUE(picture.ok());
        return picture;
    }
    void Feed(const std::vector<std::int16_t>& s, int perCall) {
        for (std::size_t at = 0; at < s.size(); at += perCall)
            model.AddSamples(s.data() + at, static_cast<int>(std::min<std::size_t>(perCall, s.size() - at)));
    }

    static inline RecordingParent* parent = nullptr;
    SpectrumModel model;
    CFFTDisp display{model};
};

}  // namespace display_test
