// Typing raw decoder records.
#include "decoder/decoder_record.h"

#include "decoder/record_stream.h"

namespace decoder {

bool RecordTyper::Make(std::string_view raw, std::int64_t receivedUtcMs, Record& out) {
    const DecoderRecord parsed = ParseRecord(raw);
    if (!parsed.accepted) return false;
    out.sequence = next_++;
    out.receivedUtcMs = receivedUtcMs;
    out.category = static_cast<Category>(parsed.category);
    out.header.assign(raw.substr(2, 7));
    if (out.category == Category::BulletinHeader) {
        les_.assign(parsed.les);
        frame_.assign(parsed.frame);
    }
    out.les = les_;
    out.frame = frame_;
    out.hasFrequency = parsed.hasFrequency;
    out.frequencyHz = parsed.frequencyHz;
    out.text.assign(parsed.text);
    out.wideText.clear();
    return true;
}

}  // namespace decoder
