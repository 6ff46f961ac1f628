// The stand-in decoder's script language (see README.md): one command per line.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class StepKind {
    WaitClient,  // wait until the front end opens the pipe
    Record,      // bytes + a zero byte
    Raw,         // exactly the bytes
    Sleep,       // number = milliseconds
    Exit,        // number = exit code
    Flood,       // number = record count, size = bytes per record
    Garbage,     // number = byte count
    Long,        // number = record length
    Live,        // number = milliseconds of the realistic stream, size = how many times faster than real time
    WaitStop,    // sit until asked to stop
    Mark,        // bytes = a path (UTF-8): create that empty file, to show a test how far the run got
};

struct ScriptStep {
    StepKind kind = StepKind::Sleep;
    std::string bytes;      // Record, Raw, Mark
    std::int64_t number = 0;
    std::int64_t size = 0;  // Flood: bytes per record; Live: speed
    int line = 0;           // 1-based line in the script, for messages
};

struct Script {
    bool noPipe = false;      // never create the pipe
    bool noEvent = false;     // never create the stop event
    bool ignoreStop = false;  // ignore the stop event and the console's close request
    std::vector<ScriptStep> steps;
};

// Decodes \n \r \t \0 \\ \xNN; false for an unknown or cut escape.
bool DecodeEscapes(std::string_view text, std::string& out);

// Parses a whole script; false with "line N: reason" for the first bad line.
bool ParseScript(std::string_view text, Script& out, std::string& error);

}  // namespace sim
