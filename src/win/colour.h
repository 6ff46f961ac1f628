// The palette's 0x00RRGGBB values as GDI colours (COLORREF keeps red in the low byte).
#pragma once
#include <windows.h>

#include <cstdint>

namespace win {

constexpr COLORREF ToColorRef(std::uint32_t rgb) noexcept {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

static_assert(ToColorRef(0x123456) == RGB(0x12, 0x34, 0x56), "red, green, blue in that order");

}  // namespace win
