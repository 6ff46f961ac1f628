// A small message store with known times, stations, priorities and texts, shared by the filter tests.
#pragma once
#include <cstdint>
#include <vector>

#include "messages/schema.h"
#include "messages/text_fold.h"

namespace messages_test {

inline constexpr std::int64_t kHour = 3'600'000;
inline constexpr std::int64_t kMinute = 60'000;
inline constexpr std::int64_t kNow = 1796644800000;  // 2026-12-07T12:00:00Z

// Priority and length come from the text the way the store fills them.
inline messages::MessageRow Row(std::int64_t id, std::int64_t first, std::int64_t last, std::int64_t les,
                                std::int64_t frame, std::int64_t copies, const char* text) {
    messages::MessageRow r{.id = id, .firstHeardMs = first, .lastHeardMs = last, .les = les, .frame = frame, .copies = copies,
                           .text = text};
    r.priority = messages::PriorityOfText(r.text);
    r.length = messages::CharacterCount(r.text);
    return r;
}

// Messages 2 and 5 have been seen by the user, the others not; message 3 raised an alert.
inline std::vector<messages::MessageRow> SampleMessages() {
    const std::int64_t T = kNow;
    std::vector<messages::MessageRow> rows{
        Row(1, T - 3 * kHour, T - 2 * kHour, 121, 1500, 3, "MAYDAY MAYDAY vessel ABC\nposition 12N 034E"),
        Row(2, T - 50 * kHour, T - 48 * kHour, 121, 2500, 1, "GALE WARNING North Sea\nwinds force 9"),
        Row(3, T - 40 * kMinute, T - 30 * kMinute, 112, 1200, 2, "PAN PAN medical advice\nneeded"),
        Row(4, T - 11 * kHour, T - 10 * kHour, 112, 800, 1, "SECURITE nav warning\nGale warning in area"),
        Row(5, T - 14 * kHour, T - 13 * kHour, 44, 1999, 4, "Weather bulletin\nno gale warning expected"),
        Row(6, 1796133600000 /* 2026-12-01T14:00:00Z */, T - 120 * kHour, 121, 1000, 2,
            "DISTRESS relay\n\"quoted\" and back\\slash"),
        Row(7, T - 2 * kHour, T - 90 * kMinute, 305, 2000, 1, "\xC3\x89\xC3\xA9 caf\xC3\xA9 \xC3\x89" "COLE"),
        Row(8, 1796565630000 /* 2026-12-06T14:00:30Z */, T - kMinute, 121, 5, 1, "ok"),
    };
    rows[1].seen = rows[4].seen = true;
    rows[2].alerted = true;  // message 3 raised an alert
    return rows;
}

}  // namespace messages_test
