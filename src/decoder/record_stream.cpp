#include "decoder/record_stream.h"

#include <charconv>
#include <cmath>

namespace decoder {
namespace {

constexpr std::string_view kFrequencyKey = "frequency:";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadReportedFrequency(std::string_view record, double& value) noexcept {
    std::size_t at = record.find(kFrequencyKey);
    if (at == std::string_view::npos) return false;
    const char* p = record.data() + at + kFrequencyKey.size();
    const char* const end = record.data() + record.size();
    while (p != end && IsSpace(*p)) ++p;
    if (p != end && *p == '+') ++p;
    // Only plain decimal numbers: no "inf", "nan" or signs that would move the centre off the spectrum.
    if (p == end || !(IsDigit(*p) || (*p == '.' && p + 1 != end && IsDigit(p[1])))) return false;
    double v = 0.0;
    auto r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

DecoderRecord ParseRecord(std::string_view record) noexcept {
    DecoderRecord out;
    if (record.size() < kMinRecordLength || record[0] != 'L' || record[1] < '0' || record[1] > '5') return out;
    out.accepted = true;
    out.category = record[1] - '0';
    out.text = record.substr(kTextOffset);
    if (out.category == 2) {
        out.les = record.substr(2, 3);
        out.frame = record.substr(5, 4);
        double reported = 0.0;
        if (ReadReportedFrequency(record, reported)) {
            out.hasFrequency = true;
            out.frequencyHz = reported * 10368.0 / 10240.0;
        }
    }
    return out;
}

}  // namespace decoder
