// Paints through an off-screen bitmap so that a window never flickers.
#pragma once
#include <windows.h>

namespace win {

// Calls paint(memoryDc) with client coordinates in force, then copies `area` to `target`.
template <class Paint>
void PaintDoubleBuffered(HDC target, const RECT& area, Paint&& paint);

// Non-template core: returns the memory context to paint into (null on failure) and owns it.
class DoubleBuffer {
public:
    DoubleBuffer(HDC target, const RECT& area);
    DoubleBuffer(const DoubleBuffer&) = delete;
    DoubleBuffer& operator=(const DoubleBuffer&) = delete;
    ~DoubleBuffer();
    HDC dc() const noexcept { return memory_; }
    void Flush();

private:
    HDC target_;
    RECT area_;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

template <class Paint>
void PaintDoubleBuffered(HDC target, const RECT& area, Paint&& paint) {
    DoubleBuffer buffer(target, area);
    if (buffer.dc()) {
        paint(buffer.dc());
        buffer.Flush();
    } else {
        paint(target);  // no memory for the bitmap: paint directly
    }
}

}  // namespace win
