// A window's client area as it renders itself (WM_PRINTCLIENT) into a 32-bit bitmap, read back as
// pixels. The spectrum curve is the only white in the display's picture.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "win/handles.h"

namespace guitest {

inline constexpr COLORREF kWhite = RGB(255, 255, 255);

class Picture {
public:
    // The whole client area.
    explicit Picture(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        Render(window, client.right, client.bottom);
    }
    Picture(HWND window, int width, int height) { Render(window, width, height); }

    bool ok() const { return !pixels_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool operator==(const Picture& other) const { return pixels_ == other.pixels_; }

    COLORREF At(int x, int y) const {
        const std::uint32_t v = pixels_[static_cast<std::size_t>(y) * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int CountInRow(int y, COLORREF colour) const {
        int n = 0;
        for (int x = 0; x < width_; ++x) n += At(x, y) == colour;
        return n;
    }
    // Row of the highest white pixel in column x, or height when there is none.
    int TopOfCurve(int x) const {
        for (int y = 0; y < height_; ++y)
            if (At(x, y) == kWhite) return y;
        return height_;
    }
    // The column whose curve point is highest (the leftmost of a tie), or -1.
    int HighestColumn() const {
        int best = -1, bestTop = height_;
        for (int x = 0; x < width_; ++x) {
            const int top = TopOfCurve(x);
            if (top < bestTop) {
                bestTop = top;
                best = x;
            }
        }
        return best;
    }

private:
    void Render(HWND window, int width, int height) {
        width_ = std::max(width, 0);
        height_ = std::max(height, 0);
        if (width_ == 0 || height_ == 0) return;
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width_, -height_ /* top-down */, 1, 32, BI_RGB}};
        void* bits = nullptr;
        win::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        win::UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dc || !bitmap || !bits) return;
        const std::size_t count = static_cast<std::size_t>(width_) * height_;
        std::fill_n(static_cast<std::uint32_t*>(bits), count, 0x00123456u);  // not a colour we draw
        {
            win::SelectObjectScope select(dc.get(), bitmap.get());
            ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
            ::GdiFlush();
        }
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels_.assign(p, p + count);
    }

    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

}  // namespace guitest
