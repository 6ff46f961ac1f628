// The reader thread: pipe reads, record splitting and typing, delivery to the sinks.
#include "decoder/reader_win.h"

#include "decoder/decoder_record.h"
#include "decoder/record_stream.h"

namespace decoder {

std::wstring AnsiToWide(const char* text, std::size_t length) {
    if (length == 0) return {};
    const int n = static_cast<int>(length);
    std::wstring wide(length, L'\0');  // one UTF-16 unit per byte is always enough
    const int written = ::MultiByteToWideChar(CP_ACP, 0, text, n, wide.data(), n);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

DWORD WINAPI ReadDecoderOutput(void* arg) {
    auto* holder = static_cast<std::shared_ptr<ReaderShared>*>(arg);
    std::shared_ptr<ReaderShared> shared = std::move(*holder);
    delete holder;
    RecordSinks& sinks = *shared->sinks;
    const auto now = shared->utcNowMs ? shared->utcNowMs : std::function<std::int64_t()>(SystemUtcMs);

    sinks.RunStarted();
    RecordSplitter splitter;
    RecordTyper typer;
    Record record;
    char block[kReadBlockSize];
    while (shared->running.load()) {
        DWORD got = 0;
        const BOOL ok = ::ReadFile(shared->pipe.get(), block, sizeof(block), &got, nullptr);
        if (!ok && ::GetLastError() != ERROR_MORE_DATA) break;
        splitter.Feed(block, got, [&](std::string_view raw) {
            if (!typer.Make(raw, now(), record)) return;
            record.wideText = AnsiToWide(record.text.data(), record.text.size());
            sinks.Deliver(record);
        });
    }
    sinks.RunEnded();
    shared->ended = true;
    return 1;
}

win::UniqueHandle StartReader(const std::shared_ptr<ReaderShared>& shared) {
    auto* holder = new std::shared_ptr<ReaderShared>(shared);
    HANDLE thread = ::CreateThread(nullptr, 0, ReadDecoderOutput, holder, 0, nullptr);
    if (!thread) delete holder;
    return win::UniqueHandle(thread);
}

}  // namespace decoder
