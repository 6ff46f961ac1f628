// The decoder reader thread: pipe reads, record splitting and typing, and delivery to the run's sinks.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decoder/record_sink.h"
#include "decoder/utc_clock.h"
#include "win/handles.h"

namespace decoder {

// What the reader thread uses. Shared so that a reader that outlives its stop (it did not wake
// within the bound) still owns a valid pipe and sinks until it ends by itself.
struct ReaderShared {
    win::UniqueHandle pipe;
    std::atomic<bool> running{true};
    std::shared_ptr<RecordSinks> sinks;
    std::function<std::int64_t()> utcNowMs;  // the receive time of each record
    std::atomic<bool> ended{false};          // set once the sinks have been told that the run ended
};

// The reader thread's body: the sinks hear that the run started, then get every accepted record in
// order until a read fails or the run is stopped, then hear that it ended. Returns 1.
DWORD WINAPI ReadDecoderOutput(void* shared);  // takes a heap std::shared_ptr<ReaderShared>*

// Starts the reader; null on failure.
win::UniqueHandle StartReader(const std::shared_ptr<ReaderShared>& shared);

// ANSI code page text to UTF-16.
std::wstring AnsiToWide(const char* text, std::size_t length);

}  // namespace decoder
