// The decoder reader thread and its hand-over to the user-interface thread.
//
// The reader never touches a window: it queues what each record means and posts a message to a
// message-only window owned by the user-interface thread, which applies the queue in order. Because
// the reader never waits for the user-interface thread, a stop that waits for the reader cannot
// deadlock with it; the stop drains the queue itself once the reader has ended.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "win/handles.h"
#include "win/window.h"

namespace decoder {

// What one record does to the windows, or a note of the front end's own.
struct LogUpdate {
    int category = -1;          // 0..5; -1 for a note of the front end's own
    bool headerFields = false;  // category 2: LES, Frame and "Decoding..."
    std::wstring les;
    std::wstring frame;
    bool hasFrequency = false;
    double frequencyHz = 0.0;
    bool show = false;  // append `text` to the log in the category's colour
    std::wstring text;
};

// Everything the reader thread uses. Shared so that a reader that outlives its stop (it did not wake
// within the bound) still owns a valid pipe, file and queue until it ends by itself.
struct ReaderState {
    ~ReaderState();

    win::UniqueHandle pipe;
    std::FILE* textLog = nullptr;  // closed by the last owner; written only by the reader while it runs
    bool textLogUseFilter = false;
    const volatile LONG* logFilter = nullptr;  // six entries, toggled by the user-interface thread
    std::atomic<bool> running{true};
    std::atomic<HWND> notify{nullptr};  // hand-over window; cleared when the run is stopped
    UINT notifyMessage = 0;

    std::mutex lock;
    std::deque<LogUpdate> queue;

    void Push(LogUpdate update);
    std::deque<LogUpdate> TakeAll();
    // At most `limit` updates from the front; `more` tells whether others wait.
    std::deque<LogUpdate> TakeSome(std::size_t limit, bool& more);
    // Closes the text log (only once the reader has ended).
    void CloseTextLog();
};

// Turns one record into its text-log write and its queued window effects. Runs on the reader thread.
void HandleDecoderRecord(ReaderState& state, const char* record, std::size_t length);

// The reader thread's body: "Decoder started\n" first, then records until a read fails or the run
// is stopped. Returns 1.
DWORD WINAPI ReadDecoderOutput(void* state);  // takes a heap std::shared_ptr<ReaderState>*

// Starts the reader; null on failure.
win::UniqueHandle StartReader(const std::shared_ptr<ReaderState>& state);

// ANSI code page text to UTF-16.
std::wstring AnsiToWide(const char* text, std::size_t length);

// Message-only window on the user-interface thread that applies queued updates.
class HandOverWindow : public win::Window {
public:
    static constexpr UINT kDrainMessage = WM_APP + 0x41;
    bool CreateHandOver();
    std::function<void()> onDrain;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace decoder
