// Unattended running: a decoder that ends by itself is said in the status, the log and the text log,
// and is started again after a growing delay when "Restart when it ends" is on; the text log can
// start a new file at each UTC midnight.
#include "app/main_frame.h"

#include <cstdio>

#include "decoder/command_line.h"
#include "decoder/reader_win.h"

namespace {

std::wstring TimeText(std::int64_t utcMs) {
    const decoder::UtcTime t = decoder::UtcTimeFromMs(utcMs);
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"%04d-%02d-%02d %02d:%02d:%02d UTC", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::wstring SecondsText(std::int64_t ms) {
    wchar_t text[32] = {};
    if (ms % 1000 == 0)
        std::swprintf(text, 32, L"%lld s", static_cast<long long>(ms / 1000));
    else
        std::swprintf(text, 32, L"%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// The notes are ASCII; the text log keeps the decoder's 8-bit text, so anything else becomes '?'.
std::string Narrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace

std::int64_t CMainFrame::DecoderUtcNow() const { return decoderClock ? decoderClock() : decoder::SystemUtcMs(); }

namespace {

std::wstring NoteLine(std::wstring words, std::int64_t utcMs) {
    while (!words.empty() && (words.back() == L'\n' || words.back() == L' ')) words.pop_back();
    return words + L" at " + TimeText(utcMs) + L"\n";
}

}  // namespace

std::wstring CMainFrame::NoteDecoderEvent(std::wstring words, std::int64_t utcMs) {
    const std::wstring line = NoteLine(std::move(words), utcMs);
    decoderLog.Append(line.c_str(), -1, &logFormats[decoder::Index(decoder::Category::DecoderNote)]);
    if (decoderTextLog) decoderTextLog->Note(Narrow(line), utcMs);
    return line;
}

std::wstring CMainFrame::NoteDecoderEventAfterRecords(std::wstring words, std::int64_t utcMs) {
    const std::wstring line = NoteLine(std::move(words), utcMs);
    // The text log has every record already: the reader gives it each one before the hand-over.
    if (decoderTextLog) decoderTextLog->Note(Narrow(line), utcMs);
    if (decoderHandOverSink)
        decoderHandOverSink->Note(line);
    else
        decoderLog.Append(line.c_str(), -1, &logFormats[decoder::Index(decoder::Category::DecoderNote)]);
    return line;
}

std::shared_ptr<decoder::TextLogSink> CMainFrame::OpenTextLog(const std::wstring& dir, bool onlyShown, bool daily,
                                                              const std::function<void(const std::wstring&)>& report,
                                                              const std::wstring& firstLine) {
    const std::int64_t now = DecoderUtcNow();
    const std::wstring path = decoder::TextLogPath(dir, decoder::UtcTimeFromMs(now));
    std::FILE* file = ::_wfopen(path.c_str(), L"wt");
    if (!file) {
        report(L"Can't create decoder output log file: " + path);
        return nullptr;
    }
    if (!firstLine.empty()) {
        const std::string bytes = Narrow(firstLine);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fflush(file);
    }
    if (!daily) return std::make_shared<decoder::TextLogSink>(file, onlyShown, logFilter);
    auto openNext = [dir](std::int64_t utcMs) -> std::FILE* {
        return ::_wfopen(decoder::TextLogPath(dir, decoder::UtcTimeFromMs(utcMs)).c_str(), L"wt");
    };
    return std::make_shared<decoder::TextLogSink>(file, now, std::move(openNext), onlyShown, logFilter);
}

void CMainFrame::OnDecoderEnded(WPARAM run) {
    // Word of an older run, or of a run the user has stopped meanwhile, changes nothing. (The reader
    // may still be finishing its other sinks: the stop below waits for that, within its bound.) The
    // word comes ahead of the records the log has still to show: the status says it at once, and the
    // note goes into the log after the last of them.
    if (!decoderRunning || restartPending || run != decoderRuns) return;
    std::wstring words;
    {
        DecoderWaitScope waiting(*this);
        DWORD code = 0;
        if (decoderSession.WaitForExit(kEndedExitWaitMs, code)) {
            wchar_t text[64] = {};
            std::swprintf(text, 64, L"Decoder ended (exit code %lu)", static_cast<unsigned long>(code));
            words = text;
        } else {
            words = L"Decoder ended (its pipe closed)";  // the process still runs: no exit code to tell
        }
    }
    ::SetWindowTextW(statusField, words.c_str());
    NoteDecoderEventAfterRecords(words, DecoderUtcNow());
    if (CurrentSettings().autoRestart) ScheduleRestart();
}

void CMainFrame::ScheduleRestart() {
    {
        DecoderWaitScope waiting(*this);
        EndRun();
    }
    decoderRunning = true;  // the window keeps its running state: Stop cancels what is pending
    const std::int64_t delay = restartBackoff.RunEnded();
    restartPending = true;
    ::SetTimer(hwnd(), kRestartTimer, static_cast<UINT>(delay), nullptr);
    NoteDecoderEvent(L"Restarting the decoder in " + SecondsText(delay), DecoderUtcNow());
}

void CMainFrame::CancelRestart() {
    if (!restartPending) return;
    ::KillTimer(hwnd(), kRestartTimer);
    restartPending = false;
}

void CMainFrame::OnRestartTimer() {
    ::KillTimer(hwnd(), kRestartTimer);
    if (!restartPending || !decoderRunning) return;
    restartPending = false;
    ++decoderRestarts;
    wchar_t words[64] = {};
    std::swprintf(words, 64, L"Decoder restarted (restart %u)", decoderRestarts);
    restartNote_ = NoteDecoderEvent(words, DecoderUtcNow());
    restartBackoff.RunStarted();
    if (StartRun(true)) return;
    // An attempt that failed counts as a run that ended at once.
    decoderRunning = true;
    ScheduleRestart();
}
