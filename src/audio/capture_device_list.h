// The capture devices found at start-up: identifiers and description copies, in enumeration order
// (the platform's primary capture device first). Room for 19 devices; later ones are left out.
#pragma once
#include "audio/capture_service.h"

#include <array>
#include <string>

namespace audio {

class CaptureDeviceList {
public:
    static constexpr int kSlots = 20;
    static constexpr int kMaxDevices = kSlots - 1;  // one slot closes the name list

    CaptureDeviceList() = default;
    // Names() points into the object itself.
    CaptureDeviceList(const CaptureDeviceList&) = delete;
    CaptureDeviceList& operator=(const CaptureDeviceList&) = delete;

    // Appends a device; false (and nothing stored) once the list is full. A null description is
    // kept as an empty text.
    bool Add(const CaptureDeviceId& id, const wchar_t* description);
    void Clear();

    int Count() const noexcept { return count_; }
    // The identifier of entry i; out-of-range indexes (an empty list, a stale selection) give
    // no value at all, so that the caller can tell them from the primary device.
    std::optional<CaptureDeviceId> Id(int i) const;
    // The description of entry i, or null when i is out of range.
    const wchar_t* Name(int i) const noexcept;
    // Null-terminated array of Count() descriptions, for building a list of choices.
    const wchar_t* const* Names() const noexcept { return names_.data(); }

private:
    std::array<CaptureDeviceId, kSlots> ids_{};
    std::array<std::wstring, kSlots> texts_{};
    std::array<const wchar_t*, kSlots> names_{};
    int count_ = 0;
};

}  // namespace audio
