// Applying what the decoder reader thread handed over to the log and the status fields.
#include "app/main_frame.h"

#include <chrono>

void CMainFrame::DrainDecoderUpdates() {
    decoder::HandOverSink* handOver = decoderHandOverSink.get();
    if (!handOver) return;
    // While the decoder runs, one hand-over message applies records for a short slice of time and,
    // if more wait, asks for another: a flood of records never keeps the window from answering
    // (the messages that came meanwhile are handled first), however slow the log is to append.
    constexpr std::size_t kChunk = 8;
    constexpr auto kSlice = std::chrono::milliseconds(40);
    const auto end = std::chrono::steady_clock::now() + kSlice;
    bool more = false;
    do {
        ApplyDecoderUpdates(handOver->TakeSome(kChunk, more));
    } while (more && std::chrono::steady_clock::now() < end);
    if (more) handOver->AskForDrain();
}

void CMainFrame::ApplyDecoderUpdates(std::deque<decoder::LogUpdate> updates) {
    // Consecutive shown texts of one category go into the log in one piece: the same text in the
    // same colours, with one rich-edit update instead of one per record.
    std::wstring pending;
    int pendingCategory = -1;
    auto flush = [&] {
        if (pending.empty()) return;
        const CHARFORMATW* format =
            pendingCategory >= 0 && pendingCategory < kLogCategories ? &logFormats[pendingCategory] : nullptr;
        decoderLog.Append(pending.c_str(), static_cast<int>(pending.size()), format);
        pending.clear();
    };
    for (decoder::LogUpdate& update : updates) {
        // Said once everything before it is in the log; a stop that takes the rest ignores it.
        if (update.runEnded && decoderRunning) ::PostMessageW(hwnd(), kDecoderEndedMessage, decoderRuns, 0);
        if (update.headerFields) {
            ::SetWindowTextW(lesField, update.les.c_str());
            ::SetWindowTextW(frameField, update.frame.c_str());
            ::SetWindowTextW(statusField, L"Decoding...");
            if (update.hasFrequency) {
                spectrum.centerFrequency = update.frequencyHz;
                RefreshCentreFrequencyRow();
            }
        }
        if (update.show) {
            if (update.category != pendingCategory) flush();
            pendingCategory = update.category;
            pending += update.text;
        }
    }
    flush();
}
