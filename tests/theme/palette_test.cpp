// The palette's default theme: the colours the program has always drawn with, as red, green, blue,
// and (Windows build) the same colours as GDI sees them.
#include <gtest/gtest.h>

#include <cstdint>

#include "theme/palette.h"
#ifdef _WIN32
#include "win/colour.h"
#endif

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Split(std::uint32_t value) {
    return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>(value & 0xFF)};
}

void ExpectRgb(std::uint32_t value, Rgb expected, const char* name) {
    const Rgb got = Split(value);
    EXPECT_EQ(got.r, expected.r) << name;
    EXPECT_EQ(got.g, expected.g) << name;
    EXPECT_EQ(got.b, expected.b) << name;
    EXPECT_EQ(value >> 24, 0u) << name;
#ifdef _WIN32
    const COLORREF gdi = win::ToColorRef(value);
    EXPECT_EQ(GetRValue(gdi), expected.r) << name;
    EXPECT_EQ(GetGValue(gdi), expected.g) << name;
    EXPECT_EQ(GetBValue(gdi), expected.b) << name;
#endif
}

}  // namespace

TEST(Palette, DefaultThemeKeepsTheProgramsColours) {
    ExpectRgb(palette::kSpectrumBackground, {60, 60, 80}, "spectrum background");
    ExpectRgb(palette::kSpectrumBand, {50, 85, 170}, "spectrum band");
    ExpectRgb(palette::kSpectrumCentreLine, {100, 170, 255}, "centre line");
    ExpectRgb(palette::kSpectrumCurve, {255, 255, 255}, "spectrum curve");

    ExpectRgb(palette::kSettingsSoundRows, {234, 230, 170}, "sound rows");
    ExpectRgb(palette::kSettingsCentreRow, {255, 193, 132}, "centre row");
    ExpectRgb(palette::kSettingsSwitchRows, {203, 188, 241}, "switch rows");
    ExpectRgb(palette::kSettingsFileLogRows, {188, 237, 186}, "file log rows");
    ExpectRgb(palette::kSettingsTarLogRows, {168, 225, 236}, "SES-TAR rows");

}
