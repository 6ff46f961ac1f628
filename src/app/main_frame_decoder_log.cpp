// The decoder log: appending text, and applying what the reader thread handed over.
#include "app/main_frame.h"

void CMainFrame::AppendToLog(const wchar_t* text, int length, const CHARFORMATW* format) {
    if (!text || !decoderLog) return;
    if (length < 0) length = static_cast<int>(::wcslen(text));
    POINT scroll{};
    ::SendMessageW(decoderLog, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    CHARRANGE selection{};
    ::SendMessageW(decoderLog, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));

    CHARRANGE end{decoderLogCounter, decoderLogCounter};
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
    if (!state) state = decoderReaderState.get();
    if (!state) return;
    for (decoder::LogUpdate& update : state->TakeAll()) {
        if (update.headerFields) {
            ::SetWindowTextW(lesField, update.les.c_str());
            ::SetWindowTextW(frameField, update.frame.c_str());
            ::SetWindowTextW(statusField, L"Decoding...");
            if (update.hasFrequency) {
                spectrumDisplay.centerFrequency = update.frequencyHz;
                RefreshCentreFrequencyRow();
            }
        }
        if (update.show) {
            const CHARFORMATW* format =
                update.category >= 0 && update.category < kLogCategories ? &logFormats[update.category] : nullptr;
            AppendToLog(update.text.c_str(), static_cast<int>(update.text.size()), format);
        }
    }
}
