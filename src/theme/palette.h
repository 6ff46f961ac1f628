// Every colour the program draws with, as 0x00RRGGBB values: the one place a theme changes them.
//
// Portable (no Windows header), so that the settings record, the spectrum display, the main window
// and the tools can all include it; Win32 code turns a value into a COLORREF with win::ToColorRef
// (win/colour.h). Colours that follow the system's (the grid's text, selection and lines) are not
// here: they come from GetSysColor so that they follow the user's scheme.
#pragma once
#include <array>
#include <cstdint>

#include "decoder/decoder_record.h"

namespace palette {

// The spectrum display, in drawing order: background, the band around the centre, the centre line,
// the curve.
inline constexpr std::uint32_t kSpectrumBackground = 0x3C3C50;  // 60, 60, 80
inline constexpr std::uint32_t kSpectrumBand = 0x3255AA;        // 50, 85, 170
inline constexpr std::uint32_t kSpectrumCentreLine = 0x64AAFF;  // 100, 170, 255
inline constexpr std::uint32_t kSpectrumCurve = 0xFFFFFF;       // 255, 255, 255

// The settings grid's row labels, one colour per group of rows.
inline constexpr std::uint32_t kSettingsSoundRows = 0xEAE6AA;    // 234, 230, 170: sound card and decoder output
inline constexpr std::uint32_t kSettingsCentreRow = 0xFFC184;    // 255, 193, 132: centre frequency
inline constexpr std::uint32_t kSettingsSwitchRows = 0xCBBCF1;   // 203, 188, 241: on/off switches
inline constexpr std::uint32_t kSettingsFileLogRows = 0xBCEDBA;  // 188, 237, 186: file logging
inline constexpr std::uint32_t kSettingsTarLogRows = 0xA8E1EC;   // 168, 225, 236: SES-TAR logging
inline constexpr std::uint32_t kSettingsStoreRows = 0xF2C6DE;     // 242, 198, 222: message store
inline constexpr std::uint32_t kSettingsFeedRows = 0xC9D7F8;      // 201, 215, 248: feed
inline constexpr std::uint32_t kSettingsStationRows = 0xF5DDB0;   // 245, 221, 176: the station
inline constexpr std::uint32_t kSettingsAlertRows = 0xF7C0B8;     // 247, 192, 184: alerts

// The decoder log's text, by the record's category.
inline constexpr std::uint32_t DecoderLogColour(decoder::Category category) {
    switch (category) {
    case decoder::Category::FrameHeader: return 0x3C3C3C;       // 60, 60, 60
    case decoder::Category::BulletinContents: return 0x6464C8;  // 100, 100, 200
    case decoder::Category::BulletinHeader: return 0x0000C8;    // 0, 0, 200
    case decoder::Category::UnknownFrame: return 0xC8C8C8;      // 200, 200, 200
    case decoder::Category::DecoderNote: return 0xC80000;       // 200, 0, 0
    case decoder::Category::MessageText: return 0x64C864;       // 100, 200, 100
    }
    return 0x000000;
}

// The messages pane's list: the background of rows that must stand out, by the message's priority.
inline constexpr std::uint32_t kMessageDistressRow = 0xFFB4B4;  // 255, 180, 180
inline constexpr std::uint32_t kMessageUrgencyRow = 0xFFDC96;   // 255, 220, 150
// The text of a warning no longer in force (cancelled, expired, dropped), and the in-force board's
// series headers.
inline constexpr std::uint32_t kMessageNoLongerInForceText = 0x8C8C8C;  // 140, 140, 140
inline constexpr std::uint32_t kMessageGroupHeaderRow = 0xDCE6F0;        // 220, 230, 240

// The map: sea, land, graticule and its labels; shapes by their message's priority (distress,
// urgency, safety, routine), the muted colour of cancelled, expired and dropped warnings, the
// selected message's shapes and the home position.
inline constexpr std::uint32_t kMapSea = 0xDCEAF5;        // 220, 234, 245
inline constexpr std::uint32_t kMapLand = 0xF2EEDC;       // 242, 238, 220
inline constexpr std::uint32_t kMapCoast = 0x9C9A88;      // 156, 154, 136
inline constexpr std::uint32_t kMapGraticule = 0xB4C8DC;  // 180, 200, 220
inline constexpr std::uint32_t kMapLabel = 0x46556E;      // 70, 85, 110
inline constexpr std::array<std::uint32_t, 4> kMapPriorities = {
    0xD21E1E,  // distress: 210, 30, 30
    0xE6820A,  // urgency: 230, 130, 10
    0x1E64C8,  // safety: 30, 100, 200
    0x3C8C46,  // routine: 60, 140, 70
};
inline constexpr std::uint32_t kMapMuted = 0xA0A0A0;     // 160, 160, 160
inline constexpr std::uint32_t kMapSelected = 0xC800C8;  // 200, 0, 200
inline constexpr std::uint32_t kMapHome = 0x000000;      // 0, 0, 0

}  // namespace palette
