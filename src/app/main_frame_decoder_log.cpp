// The decoder log: appending text, and applying what the reader thread handed over.
#include "app/main_frame.h"

#include <chrono>

void CMainFrame::AppendToLog(const wchar_t* text, int length, const CHARFORMATW* format) {
    if (!text || !decoderLog) return;
    if (length < 0) length = static_cast<int>(::wcslen(text));
    POINT scroll{};
    ::SendMessageW(decoderLog, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    CHARRANGE selection{};
    ::SendMessageW(decoderLog, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));

    // Placing the caret costs a walk through the whole text in some rich edits: skip it when the
    // caret already stands at the counter, as it does after every append but a user's click.
    CHARRANGE end{decoderLogCounter, decoderLogCounter};
    if (selection.cpMin != end.cpMin || selection.cpMax != end.cpMax)
        ::SendMessageW(decoderLog, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    if (format) {
        CHARFORMATW applied = *format;
        applied.cbSize = sizeof(CHARFORMATW);
        ::SendMessageW(decoderLog, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&applied));
    }
    // EM_REPLACESEL needs a terminated string; the text may be a piece of a longer one.
    const std::wstring piece(text, static_cast<std::size_t>(length));
    ::SendMessageW(decoderLog, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));

    if (selection.cpMin == selection.cpMax) {
        ::SendMessageW(decoderLog, WM_VSCROLL, SB_BOTTOM, 0);
    } else {
        ::SendMessageW(decoderLog, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        ::SendMessageW(decoderLog, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    }
    // The rich edit stores a line end as one character, as the text has it.
    decoderLogCounter += length;
}

void CMainFrame::DrainDecoderUpdates(decoder::ReaderState* state) {
    const bool running = state == nullptr;
    if (!state) state = decoderReaderState.get();
    if (!state) return;
    if (!running) {
        ApplyDecoderUpdates(state->TakeAll());  // the stop takes everything that is left
        return;
    }
    // While the decoder runs, one hand-over message applies records for a short slice of time and,
    // if more wait, asks for another: a flood of records never keeps the window from answering
    // (the messages that came meanwhile are handled first), however slow the log is to append.
    constexpr std::size_t kChunk = 8;
    constexpr auto kSlice = std::chrono::milliseconds(40);
    const auto end = std::chrono::steady_clock::now() + kSlice;
    bool more = false;
    do {
        ApplyDecoderUpdates(state->TakeSome(kChunk, more));
    } while (more && std::chrono::steady_clock::now() < end);
    if (more) {
        if (HWND target = state->notify.load()) ::PostMessageW(target, state->notifyMessage, 0, 0);
    }
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
        AppendToLog(pending.c_str(), static_cast<int>(pending.size()), format);
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
