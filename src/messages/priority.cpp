// A message's priority read from its first line, and the priority names the filter and views use.
#include "messages/priority.h"

#include "messages/text_fold.h"

namespace messages {

namespace {
constexpr std::string_view kNames[kPriorityCount] = {"distress", "urgency", "safety", "routine"};
}

std::string_view PriorityName(Priority p) noexcept {
    int i = static_cast<int>(p);
    return i >= 0 && i < kPriorityCount ? kNames[i] : std::string_view("routine");
}

std::optional<Priority> PriorityFromName(std::string_view name) noexcept {
    for (int i = 0; i < kPriorityCount; ++i) {
        std::string_view n = kNames[i];
        if (n.size() != name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < n.size() && same; ++k) same = AsciiLower(name[k]) == n[k];
        if (same) return static_cast<Priority>(i);
    }
    return std::nullopt;
}

Priority PriorityOfText(std::string_view text) noexcept {
    std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    struct Word {
        std::string_view lower;
        Priority priority;
    };
    // Most pressing first: a line that says both "URGENT" and "MAYDAY" is distress.
    static constexpr Word kWords[] = {{"distress", Priority::Distress}, {"mayday", Priority::Distress},
                                      {"urgent", Priority::Urgency},    {"pan pan", Priority::Urgency},
                                      {"securite", Priority::Safety},   {"safety", Priority::Safety}};
    for (const Word& w : kWords) {
        if (ContainsFolded(line, w.lower)) return w.priority;
    }
    return Priority::Routine;
}

bool ContainsFolded(std::string_view haystack, std::string_view lowerNeedle) noexcept {
    if (lowerNeedle.empty()) return true;
    if (lowerNeedle.size() > haystack.size()) return false;
    for (std::size_t i = 0; i + lowerNeedle.size() <= haystack.size(); ++i) {
        if (AsciiLower(haystack[i]) != lowerNeedle[0]) continue;
        std::size_t k = 1;
        while (k < lowerNeedle.size() && AsciiLower(haystack[i + k]) == lowerNeedle[k]) ++k;
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

std::int64_t CharacterCount(std::string_view utf8) noexcept {
    std::int64_t n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace messages
