// Command-line options of the stand-in decoder, read from the arguments as the platform split them.
#pragma once
#include <string>
#include <vector>

namespace sim {

struct SimOptions {
    double centerFrequency = 2000.0;  // -f<Hz>
    std::wstring device;              // -c<device>: the first -c option
    int channel = 0;                  // -cL 1, -cR 2 (after the device option), otherwise 0
    bool noUpdateCheck = false;       // -n
    std::wstring fileLogLetters;      // -l followed by e, m, r
    std::wstring tarLogLetters;       // -t followed by e, m, r
    bool fileLog = false, tarLog = false;
    std::wstring fileLogDir;          // -df<dir>
    std::wstring tarLogDir;           // -dt<dir>
    bool hide = false;                // -h
    std::wstring instanceName;        // -p<name>, required
};

// args[0] is the program name. Returns false with a one-line reason for an unknown or malformed option,
// a repeated one, or a missing -p.
//
// The first -c option is the device, even when it reads "-cL" or "-cR"; later ones choose the channel.
bool ParseSimArguments(const std::vector<std::wstring>& args, SimOptions& out, std::wstring& error);

}  // namespace sim
