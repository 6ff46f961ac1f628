// How often an alert's sound may play: once per alert, but never twice within ten seconds, so that
// a burst of alerts is one sound and not a din. Portable: no Windows header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace alerts {

class SoundPace {
public:
    static constexpr std::int64_t kGapMs = 10'000;
    // True when a sound may play at `nowMs` (monotonic milliseconds); it then counts as played.
    bool Allow(std::int64_t nowMs);

private:
    std::optional<std::int64_t> lastMs_;
};

// What "Alert sound" asks for: nothing, the system's warning sound, or a WAV file.
enum class SoundKind { None, Warning, File };
// "None" and "Warning" in any case (blanks around them ignored); an empty text is None; any other
// text names a file.
SoundKind SoundKindOf(const std::wstring& setting);

}  // namespace alerts
