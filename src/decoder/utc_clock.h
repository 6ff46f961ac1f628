// The wall clock as every part of the program stamps and compares times: UTC milliseconds since 1970.
//
// Portable: no Windows header (on Windows the system clock reads the system time, as
// GetSystemTimeAsFileTime does).
#pragma once
#include <chrono>
#include <cstdint>

namespace decoder {

inline std::int64_t SystemUtcMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace decoder
