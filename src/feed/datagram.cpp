// The datagram builder: the record's fields through nlohmann-json, the time in ISO 8601, and the cut
// of a text too long for one datagram.
#include "feed/datagram.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "messages/message_store.h"
#include "messages/priority.h"
#include "warnings/reader.h"
#include "warnings/warning_state.h"

namespace feed {

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 (overlong forms, surrogates and values past
// U+10FFFF are not valid).
std::size_t SequenceAt(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n;
    char32_t value;
    if (c >= 0xC2 && c <= 0xDF) n = 2, value = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, value = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, value = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if ((n == 3 && value < 0x800) || (n == 4 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return n;
}

std::string ValidUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = SequenceAt(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

}  // namespace

FeedItem ItemFromRecord(const decoder::Record& record, std::int64_t copies, bool alert) {
    FeedItem item;
    item.timeMs = record.receivedUtcMs;
    item.category = decoder::Index(record.category);
    item.les = ValidUtf8(record.les);
    item.frame = ValidUtf8(record.frame);
    item.text = ValidUtf8(messages::StoredText(record));
    item.message = record.category == decoder::Category::MessageText;
    item.copies = copies;
    item.alert = alert && item.message;
    if (item.message) {
        warnings::Reading r = warnings::Read(item.text, item.timeMs);
        if (!r.series.empty() || r.kind != warnings::Kind::Other || !r.shapes.empty()) {
            auto w = std::make_shared<FeedWarning>();
            w->series = r.series;
            w->kind = std::string(warnings::KindName(r.kind));
            if (r.numbered()) {
                w->number = r.number, w->year = r.year;
                w->state = std::string(warnings::StateName(warnings::StateAt(warnings::State::InForce, r.expiresMs, item.timeMs)));
            }
            w->shapes = std::move(r.shapes);
            item.warning = std::move(w);
        }
    }
    return item;
}

std::string IsoUtc(std::int64_t utcMs) {
    std::int64_t days = utcMs / 86'400'000;
    std::int64_t rest = utcMs % 86'400'000;
    if (rest < 0) rest += 86'400'000, --days;
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char out[40];
    std::snprintf(out, sizeof out, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<long long>(y), m, d,
                  static_cast<int>(rest / 3'600'000), static_cast<int>(rest / 60'000 % 60),
                  static_cast<int>(rest / 1000 % 60), static_cast<int>(rest % 1000));
    return out;
}

std::size_t CharacterBoundary(const std::string& text, std::size_t bytes) {
    if (bytes >= text.size()) return text.size();
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return bytes;
}

std::string BuildDatagram(const std::string& station, const FeedItem& item, std::size_t limit) {
    nlohmann::json object = {
        {"station", ValidUtf8(station.substr(0, CharacterBoundary(station, kMaxStation)))},
        {"time", IsoUtc(item.timeMs)},
        {"category", item.category},
        {"les", item.les},
        {"frame", item.frame},
        {"text", item.text},
    };
    if (item.message) {
        object["priority"] = std::string(messages::PriorityName(messages::PriorityOfText(item.text)));
        object["copies"] = item.copies;
        if (item.alert) object["alert"] = true;
    }
    if (item.message && item.warning) {
        const FeedWarning& w = *item.warning;
        if (!w.series.empty()) object["series"] = w.series;
        if (w.number > 0) {
            object["number"] = w.number;
            object["year"] = w.year;
        }
        if (!w.series.empty() || w.kind != "other") object["kind"] = w.kind;
        if (w.number > 0) object["state"] = w.state;
        if (!w.shapes.empty()) {
            nlohmann::json shapes = nlohmann::json::array();
            for (const warnings::Shape& shape : w.shapes) {
                nlohmann::json one = {{"kind", std::string(warnings::ShapeKindName(shape.kind))}};
                if (shape.kind == warnings::ShapeKind::Circle) one["radius_nm"] = shape.radiusNm;
                nlohmann::json points = nlohmann::json::array();
                for (const warnings::GeoPoint& p : shape.points) points.push_back({p.lat, p.lon});
                one["points"] = std::move(points);
                shapes.push_back(std::move(one));
            }
            object["shapes"] = std::move(shapes);
        }
    }
    // Bytes that are not UTF-8 never reach here (ItemFromRecord), but the replacement handler keeps
    // a caller's slip from throwing on the sender thread.
    const auto dump = [&] { return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace); };
    std::string out = dump();
    if (out.size() <= limit) return out;

    // The longest text (cut at a character boundary) that fits: a binary search over byte counts,
    // as escaping makes a byte of text take one to six bytes of JSON. A byte of text never takes
    // less than one, so more than `limit` bytes never fit.
    object["truncated"] = true;
    const auto fits = [&](std::size_t bytes) {
        object["text"] = item.text.substr(0, CharacterBoundary(item.text, bytes));
        return dump().size() <= limit;
    };
    if (!fits(0)) object.erase("shapes");  // a text of nothing but positions: the text goes first
    std::size_t lo = 0;
    std::size_t hi = std::min(item.text.size(), limit);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    object["text"] = item.text.substr(0, CharacterBoundary(item.text, lo));
    out = dump();
    return out;
}

}  // namespace feed
