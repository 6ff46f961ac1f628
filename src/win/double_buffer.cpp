#include "win/double_buffer.h"

namespace win {

DoubleBuffer::DoubleBuffer(HDC target, const RECT& area) : target_(target), area_(area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    memory_ = ::CreateCompatibleDC(target);
    if (!memory_) return;
    bitmap_ = ::CreateCompatibleBitmap(target, width, height);
    if (!bitmap_) {
        ::DeleteDC(memory_);
        memory_ = nullptr;
        return;
    }
    oldBitmap_ = ::SelectObject(memory_, bitmap_);
    ::SetViewportOrgEx(memory_, -area.left, -area.top, nullptr);
}

void DoubleBuffer::Flush() {
    if (!memory_) return;
    ::BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_, area_.left,
             area_.top, SRCCOPY);
}

DoubleBuffer::~DoubleBuffer() {
    if (memory_) {
        ::SelectObject(memory_, oldBitmap_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(memory_);
    }
}

}  // namespace win
