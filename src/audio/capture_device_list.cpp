#include "audio/capture_device_list.h"

namespace audio {

bool CaptureDeviceList::Add(const CaptureDeviceId& id, const wchar_t* description) {
    if (count_ >= kMaxDevices) return false;
    ids_[count_] = id;
    texts_[count_] = description ? description : L"";
    names_[count_] = texts_[count_].c_str();
    ++count_;
    names_[count_] = nullptr;
    return true;
}

void CaptureDeviceList::Clear() {
    for (int i = 0; i < count_; ++i) {
        ids_[i].reset();
        texts_[i].clear();
    }
    names_.fill(nullptr);
    count_ = 0;
}

std::optional<CaptureDeviceId> CaptureDeviceList::Id(int i) const {
    if (i < 0 || i >= count_) return std::nullopt;
    return ids_[i];
}

const wchar_t* CaptureDeviceList::Name(int i) const noexcept {
    return (i < 0 || i >= count_) ? nullptr : names_[i];
}

}  // namespace audio
