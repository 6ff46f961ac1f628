// Applying what the decoder reader thread handed over to the log and the status fields.
#include "app/main_frame.h"

#include <algorithm>
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
    // A shown log is drawn once a slice, also while a flood keeps the queue from ever being empty.
    decoderLog.DrawPending();
    if (more) handOver->AskForDrain();
}

void CMainFrame::ApplyDecoderBacklog(std::deque<decoder::LogUpdate> updates) {
    const std::size_t limit = decoderLog.LineLimit();
    std::size_t first = 0;  // the first update whose text goes into the log
    if (limit > 0) {
        std::size_t lines = 0;
        std::size_t i = updates.size();
        while (i > 0 && lines < limit) {
            --i;
            if (updates[i].show) lines += static_cast<std::size_t>(std::count(updates[i].text.begin(), updates[i].text.end(), L'\n'));
        }
        if (lines >= limit) first = i;
    }
    if (first > 0) {
        // Of what is left out, only the newest header's fields still show.
        for (std::size_t i = first; i-- > 0;) {
            if (!updates[i].headerFields) continue;
            decoder::LogUpdate header = std::move(updates[i]);
            header.show = false;
            std::deque<decoder::LogUpdate> one;
            one.push_back(std::move(header));
            ApplyDecoderUpdates(std::move(one));
            break;
        }
        updates.erase(updates.begin(), updates.begin() + static_cast<std::ptrdiff_t>(first));
    }
    ApplyDecoderUpdates(std::move(updates));
    decoderLog.DrawPending();
}

void CMainFrame::ApplyDecoderUpdates(std::deque<decoder::LogUpdate> updates) {
    // Consecutive shown texts of one category go into the log in one piece: the same text in the
    // same colours, with one append to the log instead of one per record.
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
