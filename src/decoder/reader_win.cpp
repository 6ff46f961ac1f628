// The reader thread: pipe reads, record splitting, text-log writes and the queue of window effects.
#include "decoder/reader_win.h"

#include "decoder/record_stream.h"

namespace decoder {

ReaderState::~ReaderState() { CloseTextLog(); }

void ReaderState::CloseTextLog() {
    if (textLog) std::fclose(textLog);
    textLog = nullptr;
}

void ReaderState::Push(LogUpdate update) {
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        wasEmpty = queue.empty();
        queue.push_back(std::move(update));
    }
    // One message per batch, not per record: a thread's posted-message queue holds 10,000 messages,
    // and a flood of records would otherwise fill it and strand the last records until the stop.
    // The drain takes everything queued, so a message is owed only when the queue was empty.
    if (wasEmpty) {
        if (HWND target = notify.load()) ::PostMessageW(target, notifyMessage, 0, 0);
    }
}

std::deque<LogUpdate> ReaderState::TakeAll() {
    std::lock_guard<std::mutex> guard(lock);
    std::deque<LogUpdate> taken;
    taken.swap(queue);
    return taken;
}

std::deque<LogUpdate> ReaderState::TakeSome(std::size_t limit, bool& more) {
    std::lock_guard<std::mutex> guard(lock);
    std::deque<LogUpdate> taken;
    if (queue.size() <= limit) {
        taken.swap(queue);
    } else {
        for (std::size_t i = 0; i < limit; ++i) {
            taken.push_back(std::move(queue.front()));
            queue.pop_front();
        }
    }
    more = !queue.empty();
    return taken;
}

std::wstring AnsiToWide(const char* text, std::size_t length) {
    if (length == 0) return {};
    const int n = static_cast<int>(length);
    std::wstring wide(length, L'\0');  // one UTF-16 unit per byte is always enough
    const int written = ::MultiByteToWideChar(CP_ACP, 0, text, n, wide.data(), n);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

static std::wstring Widen(std::string_view bytes) {
    // Header bytes become one character each, as they are.
    std::wstring out;
    for (unsigned char c : bytes) out.push_back(static_cast<wchar_t>(c));
    return out;
}

void HandleDecoderRecord(ReaderState& state, const char* record, std::size_t length) {
    const DecoderRecord parsed = ParseRecord(std::string_view(record, length));
    if (!parsed.accepted) return;
    const int k = parsed.category;

    LogUpdate update;
    update.category = k;
    if (k == 2) {
        update.headerFields = true;
        update.les = Widen(parsed.les);
        update.frame = Widen(parsed.frame);
        update.hasFrequency = parsed.hasFrequency;
        update.frequencyHz = parsed.frequencyHz;
    }
    const bool shown = state.logFilter && state.logFilter[k] != 0;
    if (state.textLog && (!state.textLogUseFilter || shown)) {
        std::fwrite(parsed.text.data(), 1, parsed.text.size(), state.textLog);
        // Flushed per record, so the file is complete whatever happens to the process later.
        std::fflush(state.textLog);
    }
    if (shown) {
        update.show = true;
        update.text = AnsiToWide(parsed.text.data(), parsed.text.size());
    }
    if (update.headerFields || update.show) state.Push(std::move(update));
}

DWORD WINAPI ReadDecoderOutput(void* arg) {
    auto* holder = static_cast<std::shared_ptr<ReaderState>*>(arg);
    std::shared_ptr<ReaderState> state = std::move(*holder);
    delete holder;

    LogUpdate started;
    started.show = true;
    started.text = L"Decoder started\n";
    state->Push(std::move(started));

    RecordSplitter splitter;
    char block[kReadBlockSize];
    while (state->running.load()) {
        DWORD got = 0;
        const BOOL ok = ::ReadFile(state->pipe.get(), block, sizeof(block), &got, nullptr);
        if (!ok && ::GetLastError() != ERROR_MORE_DATA) break;
        splitter.Feed(block, got, [&](std::string_view record) {
            HandleDecoderRecord(*state, record.data(), record.size());
        });
    }
    return 1;
}

win::UniqueHandle StartReader(const std::shared_ptr<ReaderState>& state) {
    auto* holder = new std::shared_ptr<ReaderState>(state);
    HANDLE thread = ::CreateThread(nullptr, 0, ReadDecoderOutput, holder, 0, nullptr);
    if (!thread) delete holder;
    return win::UniqueHandle(thread);
}

bool HandOverWindow::CreateHandOver() {
    const RECT none{};
    return Create(HWND_MESSAGE, none, L"", 0, 0) != nullptr;
}

LRESULT HandOverWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDrainMessage) {
        if (onDrain) onDrain();
        return 0;
    }
    return DefaultHandling(msg, wParam, lParam);
}

}  // namespace decoder
