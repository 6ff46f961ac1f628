// Which left-over updates a bounded log keeps, and the text of the front end's own notes.
#include "decoder/log_update.h"

#include <algorithm>
#include <cstdio>

#include "decoder/command_line.h"

namespace decoder {

std::size_t FirstKeptUpdate(const std::deque<LogUpdate>& updates, std::size_t lineLimit) {
    if (lineLimit == 0) return 0;
    std::size_t lines = 0;
    std::size_t i = updates.size();
    while (i > 0 && lines < lineLimit) {
        --i;
        if (updates[i].show)
            lines += static_cast<std::size_t>(std::count(updates[i].text.begin(), updates[i].text.end(), L'\n'));
    }
    return lines >= lineLimit ? i : 0;
}

std::wstring NoteLine(std::wstring words, std::int64_t utcMs) {
    while (!words.empty() && (words.back() == L'\n' || words.back() == L' ')) words.pop_back();
    const UtcTime t = UtcTimeFromMs(utcMs);
    wchar_t time[64] = {};
    std::swprintf(time, 64, L"%04d-%02d-%02d %02d:%02d:%02d UTC", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return words + L" at " + time + L"\n";
}

std::wstring SecondsText(std::int64_t ms) {
    wchar_t text[32] = {};
    if (ms % 1000 == 0)
        std::swprintf(text, 32, L"%lld s", static_cast<long long>(ms / 1000));
    else
        std::swprintf(text, 32, L"%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string NarrowNote(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace decoder
