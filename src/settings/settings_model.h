// Settings is the user settings as one plain value: what the grid rows edit, what a
// configuration file holds, and what capture start and decoder start read. Portable: no Windows header.
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace settings {

// The fields are zero until filled: start-up values come from StartupSettings() (key_table.h), so
// that the key table stays the one place that says what a setting starts as.
struct Settings {
    std::int32_t soundCard = 0;    // index into the capture-device list
    std::int32_t sampleRate = 0;   // Hz: the working rate (a file may hold a rate outside the list)
    std::int32_t cardChannel = 0;  // index: 0 Mono, 1 Left channel, 2 Right channel
    double centerFrequency = 0;    // Hz
    bool checkForUpdates = false;
    bool hideDecoderWindow = false;
    bool disableFftWhileDecoding = false;
    std::wstring fileLogDir;
    bool fileLogEgc = false;
    bool fileLogMessages = false;
    bool fileLogRaw = false;
    std::wstring tarLogDir;
    bool tarLogEgc = false;
    bool tarLogMessages = false;
    bool tarLogRaw = false;
    std::wstring decoderLogDir;
    bool decoderTextLog = false;
    bool decoderLogUseFilter = false;
    // Added after the eighteen.
    bool autoRestart = false;
    std::int32_t logLinesKept = 0;   // lines in the decoder log; 0 = all
    bool logDaily = false;           // a new text log at each UTC midnight
    std::wstring storeFile;          // the message store's file
    std::int32_t keepRecordDays = 0; // 0 = forever
    std::int32_t keepMessageDays = 0;
    std::wstring feedTo;             // "host:port, [v6]:port, ..."; empty = no feed
    std::wstring feedStation;
    bool feedAll = false;            // every record, not only messages
    std::wstring homePosition;       // "50-22.0N 004-08.5W"; empty = none (config_rules.h: HomePositionOf)
    std::int32_t silenceRestartMinutes = 0;  // restart a run that heard no frame this long; 0 = never
    std::wstring alertFilter;        // a filter expression: new messages that pass it raise an alert
    std::wstring alertSound;         // "None", "Warning" (the system's warning sound) or a WAV file
    std::wstring alertProgram;       // a program and its arguments run on each alert; empty = none
    bool trayOnMinimise = false;     // a minimised window leaves the taskbar for the tray

    bool operator==(const Settings&) const = default;
};

// The capture-device descriptions in list order; `soundCard` indexes them.
using DeviceNames = std::span<const wchar_t* const>;

}  // namespace settings
